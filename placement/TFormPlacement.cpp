#include "placement/TFormPlacement.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <algorithm>
#include <cstdio>
#include <stdexcept>

#include "base/AsciiCase.h"
#include "components/TForm.h"
#include "components/Text.h"
#include "placement/FrameCorrection.h"
#include "settings/TIniFile.h"
#include "settings/TRegistry.h"

namespace placement {
using components::TForm;

namespace {

// The form's control of that name, if it can take the focus now.
QWidget* FindFocusable(TForm& form, std::string_view name) {
    if (name.empty()) return nullptr;
    const auto widgets = form.findChildren<QWidget*>();
    for (QWidget* widget : widgets) {
        if (!base::EqualsNoCase(components::ToStd(widget->objectName()), name)) continue;
        // A name is unique on a form: the first one found decides.
        const bool focusable = widget->window() == &form && widget->isVisibleTo(&form) && widget->isEnabled() &&
                               widget->focusPolicy() != Qt::NoFocus;
        return focusable ? widget : nullptr;
    }
    return nullptr;
}

std::string ProgramName() {
    return components::ToStd(QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName());
}

} // namespace

void TWinMinMaxInfo::Set(Field which, int value) {
    int& field = values_[which];
    if (field == value) return;
    field = value;
    if (owner_) owner_->MinMaxInfoChanged();
}

void TWinMinMaxInfo::Assign(const TWinMinMaxInfo& source) {
    if (&source == this) return;
    values_ = source.values_;
    if (owner_) owner_->MinMaxInfoChanged();
}

bool TWinMinMaxInfo::DefaultMinMaxInfo() const {
    return std::all_of(values_.begin(), values_.end(), [](int v) { return v == 0; });
}

TFormPlacement::TFormPlacement(QObject* owner) : QObject(owner), form_(qobject_cast<TForm*>(owner)) {
    if (form_) options_ = fpState | fpPosition;
}

TFormPlacement::~TFormPlacement() {
    if (!form_ || !loaded_) return;
    ReleaseLimits();
    form_->OnShow = std::move(prevShow_);
    form_->OnCloseQuery = std::move(prevCloseQuery_);
    form_->OnDestroy = std::move(prevDestroy_);
}

void TFormPlacement::Loaded() {
    if (loaded_ || !form_) return;
    TForm& form = *form_;
    prevShow_ = std::move(form.OnShow);
    prevCloseQuery_ = std::move(form.OnCloseQuery);
    prevDestroy_ = std::move(form.OnDestroy);
    form.OnShow = [this](QObject* sender) { PlacementShow(sender); };
    form.OnCloseQuery = [this](QObject* sender, bool& canClose) { PlacementCloseQuery(sender, canClose); };
    form.OnDestroy = [this](QObject* sender) { PlacementDestroy(sender); };
    hadMaximize_ = (form.BorderIcons() & components::biMaximize) != 0;
    if (preventResize_) ApplyPreventResize();
    loaded_ = true;
    UpdateHook();
}

void TFormPlacement::SetPreventResize(bool on) {
    if (on == preventResize_) return;
    preventResize_ = on;
    // Before Loaded() the form's own maximise button is not yet remembered:
    // taking it away now would make it look as if the form never had one.
    if (form_ && loaded_) ApplyPreventResize();
}

std::string TFormPlacement::EffectiveIniFileName() const {
    if (!iniFileName_.empty()) return iniFileName_;
    return useRegistry_ ? "Software\\" + ProgramName() : ProgramName() + ".INI";
}

std::string TFormPlacement::EffectiveIniSection() const {
    if (!iniSection_.empty()) return iniSection_;
    if (!form_) return components::ToStd(objectName());
    std::string name = form_->metaObject()->className();
    // The class name as the form knows it, without the C++ namespace.
    if (const auto colons = name.rfind("::"); colons != std::string::npos) name.erase(0, colons + 2);
    return name;
}

void TFormPlacement::SetErrorReport(ErrorReport report) { report_ = std::move(report); }

std::unique_ptr<settings::TIniStore> TFormPlacement::OpenStore() const {
    if (useRegistry_) return std::make_unique<settings::TRegIniFile>(EffectiveIniFileName());
    return std::make_unique<settings::TIniFile>(EffectiveIniFileName());
}

void TFormPlacement::ReadPlacementValues(settings::TIniStore& store) {
    ReadWindowPlacement(*form_, &store, EffectiveIniSection(), (options_ & fpState) != 0, (options_ & fpPosition) != 0,
                        screens_);
}

void TFormPlacement::WritePlacementValues(settings::TIniStore& store) {
    const std::string section = EffectiveIniSection();
    WriteWindowPlacement(*form_, &store, section);
    if (!(options_ & fpActiveControl)) return;
    // A control without a name could not be found again: keep the old value.
    const QWidget* control = form_->ActiveControl();
    if (control && !control->objectName().isEmpty())
        store.WriteText(section, siActiveControl, components::ToStd(control->objectName()));
}

void TFormPlacement::LoadPlacement() {
    if (!form_) return;
    TForm& form = *form_;
    saved_ = false;
    const bool wasRestored = restored_;
    const QPoint oldPos = form.pos();
    const QSize oldSize = form.size();
    const Qt::WindowStates oldState = form.windowState();
    // Our own limits must not stop the stored size from being applied.
    ReleaseLimits();
    try {
        const auto store = OpenStore(); // freed on every way out
        ReadPlacementValues(*store);
        restored_ = true;
        if (OnRestorePlacement) OnRestorePlacement(this);
        if (options_ & fpActiveControl) {
            const std::string name = store->ReadText(EffectiveIniSection(), siActiveControl, "");
            if (QWidget* control = FindFocusable(form, name)) form.SetActiveControl(control);
        }
    } catch (...) {
        // The window opens as it would with nothing stored, and a failed
        // restore never lets this run overwrite what is stored.
        restored_ = wasRestored;
        CancelOuterRectFix(form);
        form.setWindowState(oldState);
        form.resize(oldSize);
        SetNormalOuterPos(form, oldPos);
        UpdateHook();
        throw;
    }
    UpdateHook();
}

void TFormPlacement::StorePlacement() {
    if (!form_) return;
    if (active_ && !restored_) return;
    const auto store = OpenStore();
    WritePlacementValues(*store);
    if (OnSavePlacement) OnSavePlacement(this);
    saved_ = true;
}

void TFormPlacement::PlacementShow(QObject* Sender) {
    if (active_) Guarded(&TFormPlacement::LoadPlacement);
    if (prevShow_) prevShow_(Sender);
}

void TFormPlacement::PlacementCloseQuery(QObject* Sender, bool& CanClose) {
    if (prevCloseQuery_) prevCloseQuery_(Sender, CanClose);
    if (CanClose && active_) Guarded(&TFormPlacement::StorePlacement);
}

void TFormPlacement::PlacementDestroy(QObject* Sender) {
    if (active_ && !saved_) Guarded(&TFormPlacement::StorePlacement);
    if (prevDestroy_) prevDestroy_(Sender);
}

void TFormPlacement::Guarded(void (TFormPlacement::*step)()) {
    try {
        (this->*step)();
    } catch (const std::exception& error) {
        Report(error);
    } catch (...) {
        Report(std::runtime_error("Неизвестная ошибка"));
    }
}

void TFormPlacement::Report(const std::exception& error) const {
    try {
        if (report_)
            report_(error);
        else
            std::fprintf(stderr, "%s\n", error.what());
    } catch (...) {
        // The report is the last resort; nothing may escape into the event loop.
    }
}

void TFormPlacement::MinMaxInfoChanged() { UpdateHook(); }

void TFormPlacement::ApplyPreventResize() {
    if (!form_) return;
    TForm& form = *form_;
    if (preventResize_) hadMaximize_ = (form.BorderIcons() & components::biMaximize) != 0;
    unsigned icons = form.BorderIcons();
    if (preventResize_ || !hadMaximize_ || form.BorderStyle() == components::TFormBorderStyle::bsDialog)
        icons &= ~unsigned(components::biMaximize);
    else
        icons |= components::biMaximize;
    if (icons != form.BorderIcons()) {
        // Changing the window flags shows the window again: no restore then.
        const bool wasActive = active_;
        active_ = false;
        form.SetBorderIcons(icons);
        active_ = wasActive;
    }
    if (loaded_) UpdateHook();
}

void TFormPlacement::UpdateHook() {
    if (!form_ || !loaded_) return;
    if (!preventResize_ && minMaxInfo_.DefaultMinMaxInfo()) {
        ReleaseLimits();
        return;
    }
    TForm& form = *form_;
    if (!limited_) {
        ownMinimum_ = form.minimumSize();
        ownMaximum_ = form.maximumSize();
        limited_ = true;
    }
    if (preventResize_) {
        form.setFixedSize(form.size());
        return;
    }
    // The limits count the frame, as the window system's track sizes do.
    const QMargins frame = FrameMargins(form);
    const int frameWidth = frame.left() + frame.right();
    const int frameHeight = frame.top() + frame.bottom();
    QSize minimum = ownMinimum_;
    QSize maximum = ownMaximum_;
    const TWinMinMaxInfo& info = minMaxInfo_;
    if (const int v = info.MinTrackWidth()) minimum.setWidth(std::max(0, v - frameWidth));
    if (const int v = info.MinTrackHeight()) minimum.setHeight(std::max(0, v - frameHeight));
    if (const int v = info.MaxTrackWidth()) maximum.setWidth(std::max(minimum.width(), v - frameWidth));
    if (const int v = info.MaxTrackHeight()) maximum.setHeight(std::max(minimum.height(), v - frameHeight));
    form.setMinimumSize(minimum);
    form.setMaximumSize(maximum);
}

void TFormPlacement::ReleaseLimits() {
    if (limited_ && form_) {
        form_->setMinimumSize(ownMinimum_);
        form_->setMaximumSize(ownMaximum_);
    }
    limited_ = false;
}

} // namespace placement
