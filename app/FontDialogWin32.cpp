#include "app/FontDialog.h"

#include <QWidget>
#include <algorithm>
#include <cmath>
#include <string>

#include <windows.h>
// After windows.h, whose types it uses.
#include <commdlg.h>

namespace app {
namespace {

using components::TColor;

// A screen device context, released on every way out.
class ScreenDc final {
public:
    ScreenDc() : dc_(GetDC(nullptr)) {}
    ~ScreenDc() {
        if (dc_) ReleaseDC(nullptr, dc_);
    }
    ScreenDc(const ScreenDc&) = delete;
    ScreenDc& operator=(const ScreenDc&) = delete;
    int PixelsPerInch() const { return dc_ ? GetDeviceCaps(dc_, LOGPIXELSY) : 96; }

private:
    HDC dc_;
};

LOGFONTW ToLogFont(const QFont& font) {
    LOGFONTW lf{};
    const std::wstring face = font.family().toStdWString();
    // The face name field holds LF_FACESIZE characters with its terminator.
    std::copy_n(face.begin(), std::min<std::size_t>(face.size(), LF_FACESIZE - 1), lf.lfFaceName);
    const double points = font.pointSizeF() > 0 ? font.pointSizeF() : 8.0;
    lf.lfHeight = -static_cast<LONG>(std::lround(points * ScreenDc().PixelsPerInch() / 72.0));
    lf.lfWeight = font.bold() ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = font.italic();
    lf.lfUnderline = font.underline();
    lf.lfStrikeOut = font.strikeOut();
    lf.lfCharSet = DEFAULT_CHARSET;
    return lf;
}

QFont FromLogFont(const LOGFONTW& lf, INT tenthsOfPoints, QFont font) {
    font.setFamily(QString::fromWCharArray(lf.lfFaceName));
    font.setPointSize(std::max(1, static_cast<int>(std::lround(tenthsOfPoints / 10.0))));
    font.setBold(lf.lfWeight >= FW_SEMIBOLD);
    font.setItalic(lf.lfItalic != 0);
    font.setUnderline(lf.lfUnderline != 0);
    font.setStrikeOut(lf.lfStrikeOut != 0);
    return font;
}

// A system colour (top bit set) is shown as its present value.
COLORREF ToColorRef(TColor color) {
    const auto code = static_cast<DWORD>(color);
    return (code & 0x80000000u) ? GetSysColor(static_cast<int>(code & 0xFFu)) : code & 0x00FFFFFFu;
}

} // namespace

std::optional<FontChoice> ChooseFontNative(QWidget* owner, const QFont& preset, TColor color) {
    LOGFONTW lf = ToLogFont(preset);
    CHOOSEFONTW cf{};
    cf.lStructSize = sizeof cf;
    cf.hwndOwner = owner ? reinterpret_cast<HWND>(owner->window()->winId()) : nullptr;
    cf.lpLogFont = &lf;
    cf.Flags = CF_INITTOLOGFONTSTRUCT | CF_EFFECTS | CF_SCREENFONTS;
    cf.rgbColors = ToColorRef(color);
    const COLORREF shown = cf.rgbColors;
    if (!ChooseFontW(&cf)) return std::nullopt;
    // A colour left as it was keeps its code, so a system colour stays one.
    const TColor chosen = cf.rgbColors == shown ? color : static_cast<TColor>(cf.rgbColors & 0x00FFFFFFu);
    return FontChoice{FromLogFont(lf, cf.iPointSize, preset), chosen};
}

} // namespace app
