#pragma once
// Keeps one font between runs in the current user's key store: face name,
// size in points, colour code and style, as four string values under
// HKEY_CURRENT_USER \ IniFile \ IniSection.
//
// Qt fonts carry no colour. The colour of a target font lives as a colour
// code (TColor) in the dynamic property FontColorProperty of the widget that
// owns the font (clWindowText when absent, the design value); Restore sets it
// and applies it to the widget's palette (WindowText, Text and ButtonText,
// which its children inherit), Save reads it back from the property.

#include <QObject>
#include <QPointer>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "base/EnumSet.h"
#include "components/TColor.h"

class QWidget;

namespace settings {
class TRegistry;
}

namespace components {

enum class TSGLightOption : std::uint8_t { sgFont, sgColPos, sgColWidth };

// A set of TSGLightOption. Only sgFont has an effect; the others are kept.
using TSGLightOptions = base::EnumSet<TSGLightOption, std::uint8_t>;

class TSGLight : public QObject {
    Q_OBJECT
public:
    using TNotifyEvent = std::function<void(QObject* Sender)>;

    // The dynamic property holding a font's colour code (see above).
    static constexpr const char* FontColorProperty = "dorvFontColor";

    // The colour code of a widget's font, and setting it (the font dialog
    // changes it as Restore does).
    static TColor FontColor(const QWidget* widget);
    static void SetFontColor(QWidget* widget, TColor color);

    explicit TSGLight(QObject* owner = nullptr);
    ~TSGLight() override;

    // Key names in UTF-8.
    const std::string& IniFile() const { return iniFile_; }
    void SetIniFile(std::string_view name) { iniFile_ = name; }
    const std::string& IniSection() const { return iniSection_; }
    void SetIniSection(std::string_view name) { iniSection_ = name; }
    // Not owned; empty again once the control is destroyed.
    QWidget* OwnerObj() const { return ownerObj_.data(); }
    void SetOwnerObj(QWidget* control) { ownerObj_ = control; }
    TSGLightOptions Options() const { return options_; }
    void SetOptions(TSGLightOptions options) { options_ = options; }
    bool Active() const { return active_; }
    void SetActive(bool on) { active_ = on; }

    // Raised at the end of every Restore that runs while active.
    TNotifyEvent onRestore;

    // Apply the stored font, then raise onRestore. Registry and conversion
    // errors reach the caller; what was applied before one stays applied.
    // An empty OwnerObj with an owner that is not a TForm raises
    // settings::Exception "Invalid class typecast".
    void Restore();
    // Write the font. Errors reach the caller as in Restore.
    void Save();

    // The value under the accessor's open key, or def when it does not
    // exist; an existing empty value gives an empty text.
    static std::string ReadStringDef(settings::TRegistry& registry, std::string_view name, std::string_view def);

protected:
    virtual void DoRestore();

private:
    // The widget whose font is kept, or none.
    QWidget* TargetWidget() const;
    std::string KeyPath() const;

    std::string iniFile_;
    std::string iniSection_;
    QPointer<QWidget> ownerObj_;
    TSGLightOptions options_;
    bool active_ = false;
};

} // namespace components
