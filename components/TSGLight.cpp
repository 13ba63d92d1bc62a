#include "components/TSGLight.h"

#include <QApplication>
#include <QFont>
#include <QFontInfo>
#include <QLabel>
#include <QPalette>
#include <QScreen>
#include <QString>
#include <QVariant>
#include <QWidget>
#include <algorithm>
#include <cmath>

#include "components/QtColor.h"
#include "components/TColor.h"
#include "components/TForm.h"
#include "components/Text.h"
#include "settings/Exceptions.h"
#include "settings/NumberRule.h"
#include "settings/TRegistry.h"

namespace components {
namespace {

// The decimal digits of a stored style code, one per style.
constexpr int styleBold = 1, styleItalic = 10, styleUnderline = 100, styleStrikeOut = 1000;

// Digit `unit` of a non-negative style code is odd. Truncating div and a
// mod with the dividend's sign make a negative code add nothing.
bool DigitOdd(std::int32_t code, int unit) { return (code / unit) % 2 == 1; }

int PointSizeOf(const QFont& font) {
    if (font.pointSize() > 0) return font.pointSize();
    // A font given in pixels: the size it comes out at; where the font engine
    // cannot tell (Qt's offscreen one under Wine says -1), its pixels at the
    // screen's logical resolution, so no size below 1 is ever stored.
    if (const qreal points = QFontInfo(font).pointSizeF(); points > 0) return static_cast<int>(std::lround(points));
    const QScreen* screen = QGuiApplication::primaryScreen();
    const qreal dpi = screen ? screen->logicalDotsPerInchY() : 96.0;
    return std::max(1, static_cast<int>(std::lround(font.pixelSize() * 72.0 / dpi)));
}

} // namespace

TSGLight::TSGLight(QObject* owner) : QObject(owner) {}

TSGLight::~TSGLight() = default;

TColor TSGLight::FontColor(const QWidget* widget) {
    const QVariant value = widget->property(FontColorProperty);
    bool ok = false;
    const int color = value.toInt(&ok);
    return value.isValid() && ok ? color : clWindowText;
}

void TSGLight::SetFontColor(QWidget* widget, TColor color) {
    widget->setProperty(FontColorProperty, color);
    // A system colour is the application's, not one the widget was given
    // earlier: clWindowText after black is the window-text colour again.
    const QColor qcolor = ToQColor(color, QApplication::palette(widget));
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, qcolor);
    palette.setColor(QPalette::Text, qcolor);
    // Button captions are drawn in the window's font colour too.
    palette.setColor(QPalette::ButtonText, qcolor);
    widget->setPalette(palette);
}

std::string TSGLight::KeyPath() const { return iniFile_ + "\\" + iniSection_; }

QWidget* TSGLight::TargetWidget() const {
    if (QWidget* control = ownerObj_.data()) return qobject_cast<QLabel*>(control) ? control : nullptr;
    // An empty reference (never set, or its control since destroyed) means
    // the owner form's font.
    QObject* owner = parent();
    if (!owner) return nullptr;
    auto* form = qobject_cast<TForm*>(owner);
    if (!form) throw settings::Exception("Invalid class typecast");
    return form;
}

std::string TSGLight::ReadStringDef(settings::TRegistry& registry, std::string_view name, std::string_view def) {
    if (registry.ValuePresent(name)) return registry.ReadText(name);
    return std::string(def);
}

void TSGLight::Restore() {
    if (!active_) return;
    {
        settings::TRegistry registry;
        // A key that cannot be opened is not reported: the defaults apply.
        registry.OpenKeyPath(KeyPath(), true);
        QWidget* target = options_.Contains(TSGLightOption::sgFont) ? TargetWidget() : nullptr;
        if (target) {
            // Each value is applied as soon as it is read, so a conversion
            // error leaves the earlier ones in place.
            QFont font = target->font();
            font.setFamily(ToQ(ReadStringDef(registry, "FontName", "Ms Sans Serif")));
            target->setFont(font);

            const std::int32_t size = settings::StrToInt(ReadStringDef(registry, "FontSize", "8"));
            // Qt has no font of zero or negative points; such a size leaves
            // the size as it was.
            if (size > 0) {
                font.setPointSize(size);
                target->setFont(font);
            }

            SetFontColor(target, settings::StrToInt(ReadStringDef(registry, "FontColor", "0")));

            const std::int32_t style = settings::StrToInt(ReadStringDef(registry, "FontStyle", "0"));
            // Styles are only added, never taken away.
            if (DigitOdd(style, styleBold)) font.setBold(true);
            if (DigitOdd(style, styleItalic)) font.setItalic(true);
            if (DigitOdd(style, styleUnderline)) font.setUnderline(true);
            if (DigitOdd(style, styleStrikeOut)) font.setStrikeOut(true);
            target->setFont(font);
        }
    }
    DoRestore();
}

void TSGLight::Save() {
    if (!active_) return;
    settings::TRegistry registry;
    registry.OpenKeyPath(KeyPath(), true);
    QWidget* target = options_.Contains(TSGLightOption::sgFont) ? TargetWidget() : nullptr;
    if (!target) return;
    const QFont font = target->font();
    int style = 0;
    if (font.bold()) style += styleBold;
    if (font.italic()) style += styleItalic;
    if (font.underline()) style += styleUnderline;
    if (font.strikeOut()) style += styleStrikeOut;
    registry.WriteText("FontName", ToStd(font.family()));
    registry.WriteText("FontSize", std::to_string(PointSizeOf(font)));
    registry.WriteText("FontColor", std::to_string(FontColor(target)));
    registry.WriteText("FontStyle", std::to_string(style));
}

void TSGLight::DoRestore() {
    if (onRestore) onRestore(this);
}

} // namespace components
