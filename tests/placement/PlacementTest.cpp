#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <memory>
#include <string>
#include <vector>

#include "components/TForm.h"
#include "host/Registry.h"
#include "placement/FrameCorrection.h"
#include "placement/TFormPlacement.h"
#include "settings/TIniFile.h"
#include "settings/TRegistry.h"
#include "tests/support/Sandbox.h"

using components::TForm;
using namespace placement;

namespace {

constexpr const char* kKey = "ExecuteDorv";
constexpr const char* kSection = "MainForm";
constexpr const char* kAbsent = "<absent>";

// The design place and size of the test window: client 300 x 200 with its
// frame at 40, 60.
const QPoint kDesignPos(40, 60);
const QSize kDesignSize(300, 200);

// Lets the window system answer; a real one (xcb under a window manager)
// frames the window asynchronously.
void Settle() {
    const int ms = QGuiApplication::platformName() == QStringLiteral("offscreen") ? 0 : 500;
    QElapsedTimer timer;
    timer.start();
    do {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    } while (timer.elapsed() < ms);
}

class PlacementTest : public ::testing::Test {
protected:
    // A window like the launcher's: a few named controls.
    std::unique_ptr<TForm> MakeForm(bool withControls = true) {
        auto form = std::make_unique<TForm>();
        form->move(kDesignPos);
        form->resize(kDesignSize);
        auto* label = new QLabel(QStringLiteral("Label"), form.get());
        label->setObjectName(QStringLiteral("Label1"));
        if (withControls) {
            auto* path = new QLineEdit(form.get());
            path->setObjectName(QStringLiteral("PathTxt"));
            path->setGeometry(10, 10, 100, 20);
            auto* grid = new QLineEdit(form.get());
            grid->setObjectName(QStringLiteral("sg1"));
            grid->setGeometry(10, 40, 100, 20);
            auto* hidden = new QPushButton(form.get());
            hidden->setObjectName(QStringLiteral("bbHidden"));
            hidden->hide();
            auto* disabled = new QPushButton(form.get());
            disabled->setObjectName(QStringLiteral("bbOff"));
            disabled->setEnabled(false);
        }
        return form;
    }

    // The main window's placement store.
    TFormPlacement* Attach(TForm& form, TPlacementOptions options = fpPosition | fpActiveControl) {
        auto* placement = new TFormPlacement(&form); // owned by the form
        placement->SetIniFileName(kKey);
        placement->SetIniSection(kSection);
        placement->SetOptions(options);
        placement->SetUseRegistry(true);
        placement->SetErrorReport([this](const std::exception& e) { errors.emplace_back(e.what()); });
        placement->Loaded();
        return placement;
    }

    static void Store(const char* ident, const std::string& text) {
        settings::TRegIniFile(kKey).WriteText(kSection, ident, text);
    }
    static std::string Stored(const char* ident) {
        return settings::TRegIniFile(kKey).ReadText(kSection, ident, kAbsent);
    }
    static bool SectionExists() {
        settings::TRegistry reg;
        return reg.OpenKeyPath("\\ExecuteDorv\\MainForm", false);
    }
    static QRect Design(const TForm& form) {
        const QMargins frame = FrameMargins(form);
        return QRect(kDesignPos, kDesignSize.grownBy(frame));
    }
    // Where and how large the window opens with nothing applied: the frame
    // at the design place, the client at the design size.
    static void ExpectDesign(const TForm& form) {
        EXPECT_EQ(form.pos(), kDesignPos);
        EXPECT_EQ(form.size(), kDesignSize);
    }

    testenv::Sandbox sandbox;
    std::vector<std::string> errors;
};

TEST_F(PlacementTest, FirstStartAppliesNothingAndStoresAllFiveValuesAtClose) {
    ASSERT_FALSE(SectionExists());
    auto form = MakeForm();
    Attach(*form);
    form->show();
    Settle();
    ExpectDesign(*form);
    form->SetActiveControl(form->findChild<QWidget*>(QStringLiteral("sg1")));
    const QRect outer = form->frameGeometry();

    ASSERT_TRUE(form->close());
    EXPECT_TRUE(SectionExists());
    EXPECT_EQ(Stored("Flags"), "0");
    EXPECT_EQ(Stored("ShowCmd"), "1");
    EXPECT_EQ(Stored("MinMaxPos"), "0,0,0,0");
    EXPECT_EQ(Stored("NormPos"), std::to_string(outer.left()) + ',' + std::to_string(outer.top()) + ',' +
                                     std::to_string(outer.left() + outer.width()) + ',' +
                                     std::to_string(outer.top() + outer.height()));
    EXPECT_EQ(Stored("ActiveControl"), "sg1");
    EXPECT_TRUE(errors.empty());
}

TEST_F(PlacementTest, ReopensWhereItWasClosedWithTheSameOuterSizeRunAfterRun) {
    Store("NormPos", "361,233,707,570");
    for (int run = 0; run < 3; ++run) {
        SCOPED_TRACE(run);
        auto form = MakeForm();
        Attach(*form);
        form->show();
        Settle();
        EXPECT_EQ(form->frameGeometry(), QRect(361, 233, 346, 337));
        ASSERT_TRUE(form->close());
        EXPECT_EQ(Stored("NormPos"), "361,233,707,570");
    }
    EXPECT_TRUE(errors.empty());
}

TEST_F(PlacementTest, MissingAndNonNumericWordsTakeTheCurrentRectangle) {
    {
        // Three numbers: the bottom edge is the current top + current height.
        Store("NormPos", "100,50,300");
        auto form = MakeForm();
        Attach(*form);
        form->show();
        Settle();
        const QRect design = Design(*form);
        EXPECT_EQ(form->frameGeometry(), QRect(100, 50, 200, design.top() + design.height() - 50));
    }
    {
        Store("NormPos", "abc,50,400,0x120");
        auto form = MakeForm();
        Attach(*form);
        form->show();
        Settle();
        // "abc" takes the current left; "0x120" is not rewritten as hex and
        // takes the current bottom.
        const QRect design = Design(*form);
        EXPECT_EQ(form->frameGeometry(), QRect(design.left(), 50, 400 - design.left(), design.bottom() + 1 - 50));
    }
}

TEST_F(PlacementTest, StoredValuesThatApplyNothing) {
    {
        // The right edge not past the left: nothing moves.
        Store("NormPos", "300,50,300,400");
        auto form = MakeForm();
        Attach(*form);
        form->show();
        Settle();
        ExpectDesign(*form);
    }
    {
        // Min/max positions but no rectangle: the current one stays.
        settings::TRegistry reg;
        ASSERT_TRUE(reg.OpenKeyPath("\\ExecuteDorv\\MainForm", true));
        reg.WriteText("NormPos", "");
        Store("MinMaxPos", "-1,-1,-4,-4");
        auto form = MakeForm();
        Attach(*form);
        form->show();
        Settle();
        ExpectDesign(*form);
        ASSERT_TRUE(form->close());
        EXPECT_EQ(Stored("NormPos"), "40,60," + std::to_string(40 + Design(*form).width()) + ',' +
                                         std::to_string(60 + Design(*form).height()));
    }
    EXPECT_TRUE(errors.empty());
}

TEST_F(PlacementTest, NonSizeableBorderTakesOnlyThePosition) {
    Store("NormPos", "361,233,707,570");
    auto form = MakeForm();
    form->SetBorderStyle(components::TFormBorderStyle::bsSingle);
    Attach(*form);
    form->show();
    Settle();
    EXPECT_EQ(form->frameGeometry().topLeft(), QPoint(361, 233));
    EXPECT_EQ(form->size(), kDesignSize);
}

TEST_F(PlacementTest, WindowState) {
    {
        // Closed while minimised: show command 2, the normal rectangle kept.
        auto form = MakeForm();
        Attach(*form);
        form->show();
        Settle();
        const QRect normal = form->frameGeometry();
        form->showMinimized();
        Settle();
        ASSERT_TRUE(form->close());
        EXPECT_EQ(Stored("ShowCmd"), "2");
        EXPECT_EQ(Stored("NormPos"), std::to_string(normal.left()) + ',' + std::to_string(normal.top()) + ',' +
                                         std::to_string(normal.left() + normal.width()) + ',' +
                                         std::to_string(normal.top() + normal.height()));
    }
    {
        // The main window's options read no state: it opens normal.
        Store("NormPos", "361,233,707,570");
        auto form = MakeForm();
        Attach(*form);
        form->show();
        Settle();
        EXPECT_FALSE(form->isMinimized());
        EXPECT_EQ(form->frameGeometry(), QRect(361, 233, 346, 337));
    }
    {
        // With the state read, a maximised window opens maximised and keeps
        // its restored rectangle, which is what is stored again.
        Store("ShowCmd", "3");
        auto form = MakeForm();
        Attach(*form, fpState | fpPosition);
        form->show();
        Settle();
        EXPECT_TRUE(form->isMaximized());
        ASSERT_TRUE(form->close());
        EXPECT_EQ(Stored("ShowCmd"), "3");
        EXPECT_EQ(Stored("NormPos"), "361,233,707,570");
    }
}

TEST_F(PlacementTest, ActiveControlIsFoundByNameOnlyWhenItCanTakeTheFocus) {
    struct Case {
        const char* stored;
        const char* expected;
    };
    const Case cases[] = {
        {"SG1", "sg1"},          // case does not matter
        {"nothere", "PathTxt"},  // missing: the form's own choice stays
        {"bbHidden", "PathTxt"}, // hidden
        {"bbOff", "PathTxt"},    // disabled
        {"Label1", "PathTxt"},   // takes no focus
        {"", "PathTxt"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored);
        Store("ActiveControl", c.stored);
        auto form = MakeForm();
        form->SetActiveControl(form->findChild<QWidget*>(QStringLiteral("PathTxt")));
        Attach(*form);
        form->show();
        Settle();
        ASSERT_NE(form->ActiveControl(), nullptr);
        EXPECT_EQ(form->ActiveControl()->objectName().toStdString(), c.expected);
    }
}

TEST_F(PlacementTest, NoActiveControlKeepsTheStoredName) {
    Store("ActiveControl", "sg1");
    auto form = MakeForm(false);
    Attach(*form);
    form->show();
    Settle();
    ASSERT_EQ(form->ActiveControl(), nullptr);
    ASSERT_TRUE(form->close());
    EXPECT_EQ(Stored("ActiveControl"), "sg1");
    EXPECT_NE(Stored("NormPos"), kAbsent);
}

TEST_F(PlacementTest, RefusedCloseStoresNothingAndALaterCloseStores) {
    auto form = MakeForm();
    bool allow = false;
    int asked = 0;
    form->OnCloseQuery = [&](QObject*, bool& canClose) {
        ++asked;
        canClose = allow;
    };
    Attach(*form);
    form->show();
    Settle();
    EXPECT_FALSE(form->close());
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(Stored("NormPos"), kAbsent);
    allow = true;
    EXPECT_TRUE(form->close());
    EXPECT_EQ(asked, 2);
    EXPECT_NE(Stored("NormPos"), kAbsent);
}

TEST_F(PlacementTest, OffScreenRectangleIsBroughtOntoThePrimaryScreen) {
    Store("NormPos", "3000,2000,3400,2300");
    auto form = MakeForm();
    TFormPlacement* placement = Attach(*form);
    placement->SetScreenAreas([] { return std::vector<QRect>{QRect(0, 0, 1024, 768)}; });
    form->show();
    Settle();
    EXPECT_EQ(form->frameGeometry(), QRect(624, 468, 400, 300));
}

TEST_F(PlacementTest, ExtremeStoredNumbersStillOpenTheWindowOnTheScreen) {
    // Edges as far apart as the numbers go: the size is clipped to the
    // screen and the window moved onto it, as for any unreachable rectangle.
    const QRect screen(0, 0, 1024, 768);
    const struct {
        const char* normPos;
        components::TFormBorderStyle border;
        QRect expected; // empty: the design size, moved into the far corner
    } cases[] = {
        {"-2147483648,0,2147483647,100", components::TFormBorderStyle::bsSizeable, QRect(0, 0, 1024, 100)},
        {"0,-2147483648,500,2147483647", components::TFormBorderStyle::bsSizeable, QRect(0, 0, 500, 768)},
        {"2147483647,2147483647,0,0", components::TFormBorderStyle::bsSingle, QRect()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.normPos);
        Store("NormPos", c.normPos);
        auto form = MakeForm();
        form->SetBorderStyle(c.border);
        TFormPlacement* placement = Attach(*form);
        placement->SetScreenAreas([screen] { return std::vector<QRect>{screen}; });
        form->show();
        Settle();
        const QSize design = Design(*form).size();
        const QRect expected =
            c.expected.isNull() ? QRect(QPoint(1024 - design.width(), 768 - design.height()), design) : c.expected;
        EXPECT_EQ(form->frameGeometry(), expected);
    }
    EXPECT_TRUE(errors.empty());
}

TEST_F(PlacementTest, StoresOnDestroyWhenNotClosedAndHandsHandlersBack) {
    int shown = 0, asked = 0, destroyed = 0;
    {
        auto form = MakeForm();
        form->OnShow = [&](QObject*) { ++shown; };
        form->OnDestroy = [&](QObject*) { ++destroyed; };
        Attach(*form);
        form->show();
        Settle();
        EXPECT_EQ(shown, 1);
    } // destroyed without a close
    EXPECT_EQ(destroyed, 1);
    EXPECT_NE(Stored("NormPos"), kAbsent);

    Store("NormPos", "361,233,707,570");
    auto form = MakeForm();
    form->OnShow = [&](QObject*) { ++shown; };
    form->OnCloseQuery = [&](QObject*, bool&) { ++asked; };
    form->OnDestroy = [&](QObject*) { ++destroyed; };
    delete Attach(*form);
    form->show();
    Settle();
    // The form's own handlers run, the store's no longer do.
    EXPECT_EQ(shown, 2);
    ExpectDesign(*form);
    form->move(10, 10);
    ASSERT_TRUE(form->close());
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(Stored("NormPos"), "361,233,707,570");
    form.reset();
    EXPECT_EQ(destroyed, 2);
}

TEST_F(PlacementTest, LoadErrorIsReportedOnceAndTheWindowOpensAsDesigned) {
    {
        // NormPos stored as a number: the invalid-type error.
        host::RegSetRaw("ExecuteDorv\\MainForm", "NormPos", host::regDword, {1, 0, 0, 0});
        auto form = MakeForm();
        Attach(*form);
        form->show();
        Settle();
        EXPECT_EQ(errors.size(), 1u);
        ExpectDesign(*form);
        ASSERT_TRUE(form->close());
        form.reset();
        EXPECT_EQ(errors.size(), 1u);
        // Nothing of this run was stored.
        EXPECT_EQ(Stored("Flags"), kAbsent);
    }
    {
        // The rectangle is good but the control name fails after it was
        // applied: the window still opens as designed.
        settings::TRegistry reg;
        ASSERT_TRUE(reg.OpenKeyPath("\\ExecuteDorv\\MainForm", true));
        reg.WriteText("NormPos", "361,233,707,570");
        host::RegSetRaw("ExecuteDorv\\MainForm", "ActiveControl", host::regDword, {1, 0, 0, 0});
        errors.clear();
        auto form = MakeForm();
        Attach(*form);
        form->show();
        Settle();
        EXPECT_EQ(errors.size(), 1u);
        ExpectDesign(*form);
        ASSERT_TRUE(form->close());
        EXPECT_EQ(Stored("NormPos"), "361,233,707,570");
    }
}

TEST_F(PlacementTest, DefaultNamesAreTheProgramAndTheFormClass) {
    auto form = MakeForm();
    auto* placement = new TFormPlacement(form.get());
    EXPECT_EQ(placement->Options(), TPlacementOptions(fpState | fpPosition));
    EXPECT_EQ(placement->EffectiveIniSection(), "TForm");
    placement->SetUseRegistry(true);
    EXPECT_EQ(placement->EffectiveIniFileName(), "Software\\placement_test");
    placement->SetUseRegistry(false);
    EXPECT_EQ(placement->EffectiveIniFileName(), "placement_test.INI");
    placement->Loaded();
    form->show();
    Settle();
    ASSERT_TRUE(form->close());
    // A bare INI name is the file in the Windows directory.
    EXPECT_EQ(settings::TIniFile("placement_test.INI").ReadText("TForm", "ShowCmd", kAbsent), "1");

    QObject plain;
    EXPECT_EQ(TFormPlacement(&plain).Options(), 0u);
}

TEST_F(PlacementTest, MinMaxInfoLimitsTheOuterSize) {
    auto form = MakeForm();
    form->setMinimumSize(20, 20);
    TFormPlacement* placement = Attach(*form);
    form->show();
    Settle();
    placement->MinMaxInfo().SetMinTrackWidth(250);
    placement->MinMaxInfo().SetMinTrackHeight(150);
    placement->MinMaxInfo().SetMaxTrackWidth(500);
    placement->MinMaxInfo().SetMaxTrackHeight(400);
    form->resize(10, 10);
    EXPECT_EQ(form->frameGeometry().size(), QSize(250, 150));
    form->resize(2000, 2000);
    EXPECT_EQ(form->frameGeometry().size(), QSize(500, 400));

    TWinMinMaxInfo none;
    placement->SetMinMaxInfo(none);
    form->resize(10, 10);
    EXPECT_EQ(form->size(), QSize(20, 20)); // the form's own limit again
    form->resize(900, 700);
    EXPECT_EQ(form->size(), QSize(900, 700));
}

TEST_F(PlacementTest, PreventResizeFixesTheSizeAndDropsTheMaximiseButton) {
    Store("NormPos", "361,233,707,570");
    auto form = MakeForm();
    TFormPlacement* placement = Attach(*form);
    placement->SetPreventResize(true);
    EXPECT_FALSE(form->BorderIcons() & components::biMaximize);
    form->show();
    Settle();
    // The stored size still applies; then the window keeps it.
    EXPECT_EQ(form->frameGeometry(), QRect(361, 233, 346, 337));
    const QSize fixed = form->size();
    form->resize(600, 500);
    EXPECT_EQ(form->size(), fixed);

    placement->SetPreventResize(false);
    EXPECT_TRUE(form->BorderIcons() & components::biMaximize);
    form->resize(600, 500);
    EXPECT_EQ(form->size(), QSize(600, 500));
}

TEST_F(PlacementTest, PreventResizeSetBeforeLoadingGivesTheMaximiseButtonBackWhenCleared) {
    auto form = MakeForm();
    ASSERT_TRUE(form->BorderIcons() & components::biMaximize);
    auto* placement = new TFormPlacement(form.get()); // owned by the form
    placement->SetUseRegistry(true);
    placement->SetPreventResize(true); // as set with the form's design
    placement->Loaded();
    EXPECT_FALSE(form->BorderIcons() & components::biMaximize);
    placement->SetPreventResize(false);
    EXPECT_TRUE(form->BorderIcons() & components::biMaximize);
}

} // namespace
