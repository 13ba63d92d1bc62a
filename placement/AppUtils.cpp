#include "placement/AppUtils.h"

#include <QGuiApplication>
#include <QMetaObject>
#include <QScreen>
#include <QWidget>
#include <algorithm>
#include <array>
#include <cstdint>

#include "components/TForm.h"
#include "placement/FrameCorrection.h"
#include "settings/NumberRule.h"
#include "settings/TIniStore.h"

namespace placement {
using components::TForm;
using components::TWindowState;

namespace {

// A title bar this high, and this much of its width, must lie on a screen
// for the user to reach the window.
constexpr int kTitleBand = 24;
constexpr int kReachableWidth = 40;

bool IsWordDelim(char c) { return c == ' ' || c == ','; }

bool RestoresToMaximized(Qt::WindowStates state) {
    return (state & Qt::WindowMinimized) && (state & Qt::WindowMaximized);
}

// Applies a stored restored rectangle. Returns whether a minimised window
// restores to maximised: as stored when a placement is stored, otherwise
// as restoreToMaximized says.
bool ReadPosition(TForm& form, settings::TIniStore& store, std::string_view section, bool restoreToMaximized,
                  const ScreenAreas& screens) {
    const int flags = store.ReadNumber(section, siFlags, restoreToMaximized ? wpfRestoreToMaximized : 0);
    // Qt reports no minimised or maximised position; the value only counts
    // as a stored placement.
    const bool minMaxStored = !store.ReadText(section, siMinMaxPos, "").empty();
    const std::string norm = store.ReadText(section, siNormPos, "");
    if (norm.empty() && !minMaxStored) return restoreToMaximized;
    const QPoint origin = WorkspaceOrigin();
    const bool sizeable = form.BorderStyle() == components::TFormBorderStyle::bsSizeable;
    const QRect current = NormalOuterRect(form).translated(-origin);
    const std::optional<QRect> stored = StoredRect(norm, current, !sizeable);
    if (!stored) return restoreToMaximized;
    // Without a stored rectangle the current one stays as it is; setting it
    // again would only blur it by a frame not yet known.
    if (!norm.empty()) {
        const QRect outer = ReachableRect(stored->translated(origin), screens ? screens() : SystemScreenAreas());
        if (sizeable)
            SetNormalOuterRect(form, outer);
        else
            SetNormalOuterPos(form, outer.topLeft());
    }
    return (flags & wpfRestoreToMaximized) != 0;
}

void ApplyState(TForm& form, TWindowState state, bool restoreToMaximized) {
    if (state == TWindowState::wsMinimized && &form == TForm::MainForm()) {
        // The main window opens, then minimises, as the application does.
        form.SetWindowState(TWindowState::wsNormal);
        QMetaObject::invokeMethod(
            &form, [&form] { form.showMinimized(); }, Qt::QueuedConnection);
    } else if (state == TWindowState::wsMinimized && restoreToMaximized) {
        form.setWindowState((form.windowState() & ~Qt::WindowFullScreen) | Qt::WindowMinimized | Qt::WindowMaximized);
    } else {
        form.SetWindowState(state);
    }
}

} // namespace

std::vector<QRect> SystemScreenAreas() {
    std::vector<QRect> areas;
    if (QScreen* primary = QGuiApplication::primaryScreen()) areas.push_back(primary->availableGeometry());
    for (QScreen* screen : QGuiApplication::screens()) {
        if (screen != QGuiApplication::primaryScreen()) areas.push_back(screen->availableGeometry());
    }
    return areas;
}

std::string NthWord(int n, std::string_view text) {
    std::size_t i = 0;
    int count = 0;
    while (i < text.size()) {
        while (i < text.size() && IsWordDelim(text[i])) ++i;
        if (i >= text.size()) break;
        std::size_t end = i;
        while (end < text.size() && !IsWordDelim(text[end])) ++end;
        if (++count == n) return std::string(text.substr(i, end - i));
        i = end;
    }
    return {};
}

QRect ReachableRect(const QRect& outer, const std::vector<QRect>& areas) {
    if (areas.empty() || outer.isEmpty()) return outer;
    const QRect title(outer.left(), outer.top(), outer.width(), std::min(kTitleBand, outer.height()));
    const int needWidth = std::min(outer.width(), kReachableWidth);
    for (const QRect& area : areas) {
        const QRect onScreen = area.intersected(title);
        if (onScreen.height() == title.height() && onScreen.width() >= needWidth && !onScreen.isEmpty()) return outer;
    }
    const QRect& primary = areas.front();
    const int width = std::min(outer.width(), primary.width());
    const int height = std::min(outer.height(), primary.height());
    const int left = std::clamp(outer.left(), primary.left(), primary.left() + primary.width() - width);
    const int top = std::clamp(outer.top(), primary.top(), primary.top() + primary.height() - height);
    return QRect(left, top, width, height);
}

int ShowCmdOf(Qt::WindowStates state) {
    // Also the minimised application: its main form is minimised.
    if (state & Qt::WindowMinimized) return swShowMinimized;
    return state & Qt::WindowMaximized ? swShowMaximized : swShowNormal;
}

TWindowState StateOfShowCmd(int showCmd) {
    if (showCmd == swShowMinimized || showCmd == swMinimize) return TWindowState::wsMinimized;
    return showCmd == swShowMaximized ? TWindowState::wsMaximized : TWindowState::wsNormal; // also 1, 5 and 9
}

std::string EdgesText(const QRect& rect) {
    return std::to_string(rect.left()) + ',' + std::to_string(rect.top()) + ',' +
           std::to_string(rect.left() + rect.width()) + ',' + std::to_string(rect.top() + rect.height());
}

std::optional<QRect> StoredRect(std::string_view edges, const QRect& current, bool keepSize) {
    const std::array<int, 4> now = {current.left(), current.top(), current.left() + current.width(),
                                    current.top() + current.height()};
    // Read by the settings' rule without its "0x" rewrite; added and
    // subtracted without overflow.
    std::array<std::int64_t, 4> edge{};
    for (std::size_t i = 0; i < edge.size(); ++i)
        edge[i] = settings::StrToIntDef(NthWord(static_cast<int>(i) + 1, edges), now[i]);
    if (keepSize) {
        edge[2] = edge[0] + current.width();
        edge[3] = edge[1] + current.height();
    }
    if (edge[2] <= edge[0]) return std::nullopt;
    const auto within = [](std::int64_t v) {
        return static_cast<int>(std::clamp<std::int64_t>(v, -QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
    };
    return QRect(within(edge[0]), within(edge[1]), within(edge[2] - edge[0]), std::max(1, within(edge[3] - edge[1])));
}

void ReadWindowPlacement(TForm& form, settings::TIniStore* store, std::string_view section, bool loadState,
                         bool loadPosition, const ScreenAreas& screens) {
    if (!loadState && !loadPosition) return;
    (void)form.winId(); // the frame and the state belong to the native window
    bool restoreToMaximized = RestoresToMaximized(form.windowState());
    if (loadPosition && store) restoreToMaximized = ReadPosition(form, *store, section, restoreToMaximized, screens);
    if (!loadState) return;
    const int showCmd = store ? store->ReadNumber(section, siShowCmd, 0) : 0;
    ApplyState(form, StateOfShowCmd(showCmd), restoreToMaximized);
}

void WriteWindowPlacement(TForm& form, settings::TIniStore* store, std::string_view section) {
    if (!store) return;
    const QRect normal = NormalOuterRect(form).translated(-WorkspaceOrigin());
    const Qt::WindowStates state = form.windowState();
    store->WriteNumber(section, siFlags, RestoresToMaximized(state) ? wpfRestoreToMaximized : 0);
    store->WriteNumber(section, siShowCmd, ShowCmdOf(state));
    store->WriteText(section, siMinMaxPos, "0,0,0,0");
    store->WriteText(section, siNormPos, EdgesText(normal));
}

} // namespace placement
