#pragma once
// A non-visual component on a form that restores the form's placement (and
// optionally its window state and focused control) each time the form is
// shown, and stores it when the form is closed or destroyed, in the registry
// or in an INI file. It can also limit how the form is resized.
//
// Use: create it with the form as parent, set its properties, and call
// Loaded() once the form has set its own OnShow, OnCloseQuery and OnDestroy
// handlers; it takes them over and calls them from its own.

#include <QObject>
#include <QPointer>
#include <QSize>
#include <array>
#include <exception>
#include <functional>
#include <memory>
#include <string>

#include "placement/AppUtils.h" // also declares TForm and TIniStore

namespace placement {

enum TPlacementOption : unsigned { fpState = 1, fpPosition = 2, fpActiveControl = 4 };
using TPlacementOptions = unsigned;

class TFormPlacement;

// Size limits of the form's window, in outer (frame included) pixels; 0
// leaves a limit as the window system has it. Qt lets a program set no
// maximised size or position, so MaxSize* and MaxPos* are kept but have no
// effect; the track sizes are the window's minimum and maximum sizes.
class TWinMinMaxInfo final {
public:
    explicit TWinMinMaxInfo(TFormPlacement* owner = nullptr) : owner_(owner) {}
    TWinMinMaxInfo(const TWinMinMaxInfo&) = delete;
    TWinMinMaxInfo& operator=(const TWinMinMaxInfo&) = delete;

    // Copies the values and notifies the owner.
    void Assign(const TWinMinMaxInfo& source);
    bool DefaultMinMaxInfo() const;
    int MaxPosLeft() const { return values_[fMaxPosLeft]; }
    void SetMaxPosLeft(int v) { Set(fMaxPosLeft, v); }
    int MaxPosTop() const { return values_[fMaxPosTop]; }
    void SetMaxPosTop(int v) { Set(fMaxPosTop, v); }
    int MaxSizeHeight() const { return values_[fMaxSizeHeight]; }
    void SetMaxSizeHeight(int v) { Set(fMaxSizeHeight, v); }
    int MaxSizeWidth() const { return values_[fMaxSizeWidth]; }
    void SetMaxSizeWidth(int v) { Set(fMaxSizeWidth, v); }
    int MaxTrackHeight() const { return values_[fMaxTrackHeight]; }
    void SetMaxTrackHeight(int v) { Set(fMaxTrackHeight, v); }
    int MaxTrackWidth() const { return values_[fMaxTrackWidth]; }
    void SetMaxTrackWidth(int v) { Set(fMaxTrackWidth, v); }
    int MinTrackHeight() const { return values_[fMinTrackHeight]; }
    void SetMinTrackHeight(int v) { Set(fMinTrackHeight, v); }
    int MinTrackWidth() const { return values_[fMinTrackWidth]; }
    void SetMinTrackWidth(int v) { Set(fMinTrackWidth, v); }

private:
    // One field of the window system's record each.
    enum Field : std::size_t {
        fMaxPosLeft,
        fMaxPosTop,
        fMaxSizeHeight,
        fMaxSizeWidth,
        fMaxTrackHeight,
        fMaxTrackWidth,
        fMinTrackHeight,
        fMinTrackWidth,
        fieldCount
    };
    // Notifies the owner of a change.
    void Set(Field field, int value);

    TFormPlacement* owner_;
    std::array<int, fieldCount> values_{};
};

class TFormPlacement : public QObject {
    Q_OBJECT
public:
    using TNotifyEvent = std::function<void(QObject* Sender)>;
    // Where an error from a restore or store goes: the application's
    // default error report. Defaults to a line on stderr.
    using ErrorReport = std::function<void(const std::exception&)>;

    // owner: the form served; with a TForm the options start as
    // [fpState, fpPosition], otherwise empty.
    explicit TFormPlacement(QObject* owner);
    ~TFormPlacement() override;

    // The form has been built: take over its OnShow, OnCloseQuery and
    // OnDestroy, and apply the resize limits. Once only.
    void Loaded();

    bool Active() const { return active_; }
    void SetActive(bool on) { active_ = on; }
    const std::string& IniFileName() const { return iniFileName_; }
    void SetIniFileName(std::string name) { iniFileName_ = std::move(name); }
    const std::string& IniSection() const { return iniSection_; }
    void SetIniSection(std::string section) { iniSection_ = std::move(section); }
    TWinMinMaxInfo& MinMaxInfo() { return minMaxInfo_; }
    void SetMinMaxInfo(const TWinMinMaxInfo& info) { minMaxInfo_.Assign(info); }
    TPlacementOptions Options() const { return options_; }
    void SetOptions(TPlacementOptions options) { options_ = options; }
    bool PreventResize() const { return preventResize_; }
    void SetPreventResize(bool on);
    bool UseRegistry() const { return useRegistry_; }
    void SetUseRegistry(bool on) { useRegistry_ = on; }

    TNotifyEvent OnSavePlacement;    // after the values are written
    TNotifyEvent OnRestorePlacement; // after the values are read and applied

    // The names in use: IniFileName, else "Software\<program>" with the
    // registry or "<program>.INI" without; IniSection, else the form's class
    // name.
    std::string EffectiveIniFileName() const;
    std::string EffectiveIniSection() const;

    // Restore and store now. Errors of the store are thrown.
    void LoadPlacement();
    void StorePlacement();

    void SetErrorReport(ErrorReport report);
    // For tests and odd set-ups: the screens a restored window must be
    // reachable on.
    void SetScreenAreas(ScreenAreas screens) { screens_ = std::move(screens); }

    // The handlers put on the form.
    void PlacementShow(QObject* Sender);
    void PlacementCloseQuery(QObject* Sender, bool& CanClose);
    void PlacementDestroy(QObject* Sender);

protected:
    // Called with the store open.
    virtual void ReadPlacementValues(settings::TIniStore& store);
    virtual void WritePlacementValues(settings::TIniStore& store);

private:
    friend class TWinMinMaxInfo;
    void MinMaxInfoChanged();
    // Puts the window's size limits in line with PreventResize and
    // MinMaxInfo, or gives the form back its own.
    void UpdateHook();
    void ReleaseLimits();
    void ApplyPreventResize();
    std::unique_ptr<settings::TIniStore> OpenStore() const;
    void Report(const std::exception& error) const;
    void Guarded(void (TFormPlacement::*step)());

    QPointer<components::TForm> form_;
    bool active_ = true;
    std::string iniFileName_;
    std::string iniSection_;
    TWinMinMaxInfo minMaxInfo_{this};
    TPlacementOptions options_ = 0;
    bool preventResize_ = false;
    bool useRegistry_ = false;
    bool loaded_ = false;
    bool restored_ = false;
    bool saved_ = false;
    bool hadMaximize_ = false;
    bool limited_ = false;          // the form's limits are ours
    QSize ownMinimum_, ownMaximum_; // the form's limits before ours
    std::function<void(QObject*)> prevShow_, prevDestroy_;
    std::function<void(QObject*, bool&)> prevCloseQuery_;
    ErrorReport report_;
    ScreenAreas screens_;
};

} // namespace placement
