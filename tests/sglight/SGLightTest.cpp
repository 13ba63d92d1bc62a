// The font store against the real key store of a sandbox: defaults on the
// first start, the round trip, the stored texts an older run or a person may
// have left, and the cases where there is no font to keep.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <memory>
#include <string>
#include <vector>

#include "components/TColor.h"
#include "components/TForm.h"
#include "components/TSGLight.h"
#include "settings/Exceptions.h"
#include "settings/TRegistry.h"
#include "tests/support/Sandbox.h"

using components::TForm;
using components::TSGLight;
using components::TSGLightOption;

namespace {

// The main window's font store.
TSGLight* MakeStore(QObject* owner) {
    auto* light = new TSGLight(owner);
    light->SetIniFile("ExecuteDorv");
    light->SetIniSection("Font");
    light->SetOptions({TSGLightOption::sgFont});
    light->SetActive(true);
    return light;
}

void Store(const std::string& path, const std::vector<std::pair<std::string, std::string>>& values) {
    settings::TRegistry reg;
    ASSERT_TRUE(reg.OpenKeyPath(path, true));
    for (const auto& [name, text] : values) reg.WriteText(name, text);
}

bool KeyExists(const std::string& path) {
    settings::TRegistry reg;
    return reg.OpenKeyPath(path, false);
}

std::vector<std::string> ValueNames(const std::string& path) {
    settings::TRegistry reg;
    std::vector<std::string> names;
    if (reg.OpenKeyPath(path, false)) reg.ListValueNames(names);
    return names;
}

std::string Value(const std::string& path, const std::string& name) {
    settings::TRegistry reg;
    EXPECT_TRUE(reg.OpenKeyPath(path, false)) << path;
    EXPECT_TRUE(reg.ValuePresent(name)) << name;
    return reg.ReadText(name);
}

// The main window's design font.
void DesignFont(QWidget& w) {
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(11);
    w.setFont(font);
}

} // namespace

TEST(SGLight, FirstStartAppliesTheDefaultsAndCreatesTheKey) {
    testenv::Sandbox box;
    TForm form;
    DesignFont(form);
    TSGLight* light = MakeStore(&form);
    std::vector<QObject*> senders;
    light->onRestore = [&](QObject* sender) { senders.push_back(sender); };

    light->Restore();
    EXPECT_TRUE(KeyExists("\\ExecuteDorv\\Font"));
    EXPECT_TRUE(ValueNames("\\ExecuteDorv\\Font").empty());
    EXPECT_EQ(form.font().family(), QStringLiteral("Ms Sans Serif"));
    EXPECT_EQ(form.font().pointSize(), 8);
    EXPECT_FALSE(form.font().bold() || form.font().italic() || form.font().underline() || form.font().strikeOut());
    EXPECT_EQ(form.property(TSGLight::FontColorProperty).toInt(), 0);
    EXPECT_EQ(form.palette().color(QPalette::WindowText), QColor(Qt::black));
    ASSERT_EQ(senders.size(), 1u);
    EXPECT_EQ(senders[0], light);
}

TEST(SGLight, SavedFontComesBack) {
    testenv::Sandbox box;
    {
        TForm form;
        QFont font(QStringLiteral("Arial"), 10);
        font.setBold(true);
        font.setItalic(true);
        form.setFont(font);
        MakeStore(&form)->Save();
    }
    EXPECT_EQ(Value("\\ExecuteDorv\\Font", "FontName"), "Arial");
    EXPECT_EQ(Value("\\ExecuteDorv\\Font", "FontSize"), "10");
    EXPECT_EQ(Value("\\ExecuteDorv\\Font", "FontColor"), "-2147483640");
    EXPECT_EQ(Value("\\ExecuteDorv\\Font", "FontStyle"), "11");

    TForm form;
    DesignFont(form);
    // The grid and the other controls take the window's font and colour.
    auto* child = new QLabel(&form);
    auto* button = new QPushButton(&form);
    MakeStore(&form)->Restore();
    EXPECT_EQ(form.font().family(), QStringLiteral("Arial"));
    EXPECT_EQ(form.font().pointSize(), 10);
    EXPECT_TRUE(form.font().bold());
    EXPECT_TRUE(form.font().italic());
    EXPECT_FALSE(form.font().underline());
    EXPECT_EQ(child->font(), form.font());
    EXPECT_EQ(form.property(TSGLight::FontColorProperty).toInt(), components::clWindowText);
    EXPECT_EQ(child->palette().color(QPalette::WindowText), QApplication::palette(&form).color(QPalette::WindowText));

    // An RGB colour and a font given in pixels.
    QFont pixels(QStringLiteral("Arial"));
    pixels.setPixelSize(16);
    form.setFont(pixels);
    Store("\\ExecuteDorv\\Font", {{"FontColor", "255"}});
    TSGLight* light = MakeStore(&form);
    light->Restore();
    EXPECT_EQ(child->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    EXPECT_EQ(button->palette().color(QPalette::ButtonText), QColor(255, 0, 0));
    form.setFont(pixels);
    light->Save();
    EXPECT_EQ(Value("\\ExecuteDorv\\Font", "FontColor"), "255");
    EXPECT_EQ(Value("\\ExecuteDorv\\Font", "FontSize"), "12");
}

TEST(SGLight, StyleDigitsOnlyAddStyles) {
    testenv::Sandbox box;
    struct Case {
        const char* stored;
        bool designBold;
        bool bold, italic, underline, strikeOut;
    };
    const Case cases[] = {
        {"2", false, false, false, false, false},  {"3", false, true, false, false, false},
        {"1111", false, true, true, true, true},   {"10000", false, false, false, false, false},
        {"-1", false, false, false, false, false}, {"-1111", false, false, false, false, false},
        {"0", true, true, false, false, false},    {"110", false, false, true, true, false},
    };
    for (const Case& c : cases) {
        Store("\\ExecuteDorv\\Font", {{"FontStyle", c.stored}});
        TForm form;
        QFont font = form.font();
        font.setBold(c.designBold);
        form.setFont(font);
        MakeStore(&form)->Restore();
        EXPECT_EQ(form.font().bold(), c.bold) << c.stored;
        EXPECT_EQ(form.font().italic(), c.italic) << c.stored;
        EXPECT_EQ(form.font().underline(), c.underline) << c.stored;
        EXPECT_EQ(form.font().strikeOut(), c.strikeOut) << c.stored;
    }
}

TEST(SGLight, StoredSizeGoesThroughTheNumberRule) {
    testenv::Sandbox box;
    {
        Store("\\ExecuteDorv\\Font", {{"FontName", "Times"}, {"FontSize", "abc"}, {"FontStyle", "1"}});
        TForm form;
        form.setFont(QFont(QStringLiteral("Arial"), 10));
        TSGLight* light = MakeStore(&form);
        int events = 0;
        light->onRestore = [&](QObject*) { ++events; };
        try {
            light->Restore();
            ADD_FAILURE() << "no error";
        } catch (const settings::EConvertError& e) {
            EXPECT_STREQ(e.what(), "'abc' is not a valid integer value");
        }
        EXPECT_EQ(form.font().family(), QStringLiteral("Times"));
        EXPECT_EQ(form.font().pointSize(), 10);
        EXPECT_FALSE(form.font().bold());
        EXPECT_FALSE(form.property(TSGLight::FontColorProperty).isValid());
        EXPECT_EQ(events, 0);
    }
    for (const char* stored : {" 12", "$C", "+12"}) {
        Store("\\ExecuteDorv\\Font", {{"FontSize", stored}, {"FontStyle", "0"}});
        TForm form;
        MakeStore(&form)->Restore();
        EXPECT_EQ(form.font().pointSize(), 12) << stored;
    }
    {
        // A size Qt cannot have keeps the size as it was; an existing empty
        // value is not replaced by the default.
        Store("\\ExecuteDorv\\Font", {{"FontSize", "0"}, {"FontName", ""}});
        TForm form;
        form.setFont(QFont(QStringLiteral("Arial"), 10));
        MakeStore(&form)->Restore();
        EXPECT_EQ(form.font().pointSize(), 10);
        EXPECT_EQ(form.font().family(), QString());
        Store("\\ExecuteDorv\\Font", {{"FontSize", " 12 "}});
        EXPECT_THROW(MakeStore(&form)->Restore(), settings::EConvertError);
    }
}

TEST(SGLight, NoTargetFontOpensTheKeyOnly) {
    testenv::Sandbox box;
    TForm form;
    const QFont design(QStringLiteral("Arial"), 10);
    form.setFont(design);
    auto* button = new QPushButton(&form);
    button->setFont(design);

    // A control that is not a static text.
    TSGLight* light = MakeStore(&form);
    light->SetOwnerObj(button);
    int events = 0;
    light->onRestore = [&](QObject*) { ++events; };
    light->SetIniFile("Other");
    light->Save();
    EXPECT_TRUE(KeyExists("\\Other\\Font"));
    EXPECT_TRUE(ValueNames("\\Other\\Font").empty());
    Store("\\Other\\Font", {{"FontName", "Times"}, {"FontStyle", "1"}});
    light->Restore();
    EXPECT_EQ(events, 1);
    EXPECT_EQ(button->font(), design);
    EXPECT_EQ(form.font(), design);

    // Options without sgFont.
    TSGLight* plain = MakeStore(&form);
    plain->SetOptions({TSGLightOption::sgColPos, TSGLightOption::sgColWidth});
    plain->SetIniSection("Cols");
    plain->Save();
    plain->Restore();
    EXPECT_TRUE(KeyExists("\\ExecuteDorv\\Cols"));
    EXPECT_TRUE(ValueNames("\\ExecuteDorv\\Cols").empty());
    EXPECT_EQ(form.font(), design);

    // No owner at all: nothing read or written, the event still raised.
    TSGLight orphan;
    orphan.SetIniFile("Orphan");
    orphan.SetIniSection("Font");
    orphan.SetOptions({TSGLightOption::sgFont});
    orphan.SetActive(true);
    int orphanEvents = 0;
    orphan.onRestore = [&](QObject*) { ++orphanEvents; };
    orphan.Save();
    orphan.Restore();
    EXPECT_TRUE(ValueNames("\\Orphan\\Font").empty());
    EXPECT_EQ(orphanEvents, 1);
}

TEST(SGLight, StaticTextOrTheOwnerFormIsTheTarget) {
    testenv::Sandbox box;
    Store("\\ExecuteDorv\\Font", {{"FontName", "Times"}, {"FontSize", "14"}});
    TForm form;
    form.setFont(QFont(QStringLiteral("Arial"), 10));
    auto* label = new QLabel(&form);
    label->setFont(QFont(QStringLiteral("Arial"), 9));
    TSGLight* light = MakeStore(&form);
    light->SetOwnerObj(label);
    light->Restore();
    EXPECT_EQ(label->font().family(), QStringLiteral("Times"));
    EXPECT_EQ(label->font().pointSize(), 14);
    EXPECT_EQ(form.font().family(), QStringLiteral("Arial"));

    // Once the label is gone the reference is empty, and the owner form's
    // font is the target.
    delete label;
    EXPECT_EQ(light->OwnerObj(), nullptr);
    light->Restore();
    EXPECT_EQ(form.font().family(), QStringLiteral("Times"));

    // An owner that is not a form.
    QWidget notAForm;
    TSGLight* stray = MakeStore(&notAForm);
    int events = 0;
    stray->onRestore = [&](QObject*) { ++events; };
    try {
        stray->Restore();
        ADD_FAILURE() << "no error";
    } catch (const settings::Exception& e) {
        EXPECT_STREQ(e.what(), "Invalid class typecast");
    }
    EXPECT_THROW(stray->Save(), settings::Exception);
    EXPECT_EQ(events, 0);
}

TEST(SGLight, InactiveTouchesNothing) {
    testenv::Sandbox box;
    TForm form;
    const QFont design(QStringLiteral("Arial"), 10);
    form.setFont(design);
    TSGLight* light = MakeStore(&form);
    light->SetActive(false);
    int events = 0;
    light->onRestore = [&](QObject*) { ++events; };
    light->Restore();
    light->Save();
    EXPECT_FALSE(KeyExists("\\ExecuteDorv"));
    EXPECT_EQ(events, 0);
    EXPECT_EQ(form.font(), design);

    // A new component starts inactive with nothing set.
    TSGLight fresh;
    EXPECT_FALSE(fresh.Active());
    EXPECT_TRUE(fresh.IniFile().empty());
    EXPECT_TRUE(fresh.IniSection().empty());
    EXPECT_EQ(fresh.OwnerObj(), nullptr);
    EXPECT_EQ(fresh.Options(), components::TSGLightOptions{});
}

TEST(SGLight, EmptyIniFileWritesUnderTheRoot) {
    testenv::Sandbox box;
    TForm form;
    form.setFont(QFont(QStringLiteral("Arial"), 10));
    TSGLight* light = MakeStore(&form);
    light->SetIniFile("");
    light->Save();
    EXPECT_EQ(Value("\\Font", "FontName"), "Arial");
    EXPECT_FALSE(KeyExists("\\ExecuteDorv"));
}
