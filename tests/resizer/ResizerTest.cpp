// The form rescaler on the offscreen platform: the main window's layout at
// other sizes, the first call's window sizing for the screen, re-entry,
// nested containers and controls that go away.
#include <gtest/gtest.h>

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTableWidget>
#include <QToolBar>
#include <map>
#include <memory>
#include <string>

#include "components/TForm.h"
#include "components/TResizer.h"
#include "settings/Exceptions.h"
#include "tests/support/Sandbox.h"

using components::TForm;
using components::TResizer;

namespace {

QSize Screen1024x768() { return {1024, 768}; }

// A rescaler owned by `owner` on a 1024 x 768 screen.
TResizer* MakeResizer(QObject* owner, QSize designScreen, QSize designClient = QSize(0, 0)) {
    auto* resizer = new TResizer(owner);
    resizer->SetScreenSizeSource(Screen1024x768);
    resizer->SetDesignScreenWidth(designScreen.width());
    resizer->SetDesignScreenHeight(designScreen.height());
    resizer->SetDesignClientWidth(designClient.width());
    resizer->SetDesignClientHeight(designClient.height());
    return resizer;
}

// The main window as designed: client area 338 x 310, Panel1 filling it
// with the grid and three controls on it, the launch buttons and the folder
// edit on the window.
struct MainWindow {
    TForm form;
    QFrame* panel1;
    std::map<std::string, QWidget*> controls;
    std::map<std::string, QRect> design;
    TResizer* resizer;

    MainWindow() {
        form.resize(338, 310);
        panel1 = Add<QFrame>("Panel1", &form, {0, 0, 338, 310});
        Add<QTableWidget>("sg1", panel1, {8, 8, 161, 257});
        Add<QPushButton>("sbInit", panel1, {176, 240, 153, 25});
        Add<QLabel>("Image1", panel1, {200, 152, 102, 72});
        Add<QPushButton>("sb1", panel1, {296, 272, 33, 29});
        Add<QPushButton>("bbDorv", &form, {176, 8, 72, 57});
        Add<QPushButton>("bbMaster", &form, {256, 8, 72, 57});
        Add<QPushButton>("bbAlternatives", &form, {176, 72, 72, 57});
        Add<QPushButton>("bbCar", &form, {256, 72, 72, 57});
        Add<QLineEdit>("PathTxt", &form, {8, 272, 289, 21});
        resizer = MakeResizer(&form, {768, 1024}, {338, 310});
    }

    template <class W>
    W* Add(const std::string& name, QWidget* parent, QRect bounds) {
        auto* w = new W(parent);
        w->setObjectName(QString::fromStdString(name));
        w->setGeometry(bounds);
        controls[name] = w;
        design[name] = bounds;
        return w;
    }

    void ResizeTo(int w, int h) {
        form.resize(w, h);
        resizer->ResizeControls(&form);
    }

    QRect At(const std::string& name) { return controls.at(name)->geometry(); }
};

} // namespace

TEST(Resizer, MainWindowKeepsItsProportionsWithoutDrift) {
    testenv::Sandbox box;
    MainWindow w;
    w.resizer->ResizeControls(&w.form);
    for (const auto& [name, bounds] : w.design) EXPECT_EQ(w.At(name), bounds) << name << " at the first call";

    w.ResizeTo(400, 300);
    EXPECT_EQ(w.At("bbMaster"), QRect(303, 8, 85, 55));
    EXPECT_EQ(w.At("PathTxt"), QRect(9, 263, 342, 20));
    EXPECT_EQ(w.At("Panel1"), QRect(0, 0, 400, 300));
    EXPECT_EQ(w.At("sg1"), QRect(9, 8, 191, 249));

    w.ResizeTo(338, 310);
    for (const auto& [name, bounds] : w.design) EXPECT_EQ(w.At(name), bounds) << name << " back at design size";

    // Many odd sizes in a row: each rescale starts from the records.
    for (int i = 0; i < 40; ++i) w.ResizeTo(203 + 37 * i % 611, 117 + 53 * i % 577);
    w.ResizeTo(338, 310);
    for (const auto& [name, bounds] : w.design) EXPECT_EQ(w.At(name), bounds) << name << " after many sizes";
}

TEST(Resizer, HalvesRoundToTheEvenNeighbour) {
    testenv::Sandbox box;
    // A panel passed as the argument: its outer size is the reference.
    TForm form;
    form.resize(300, 200);
    auto* panel = new QFrame(&form);
    panel->setGeometry(10, 10, 100, 40);
    auto* half = new QLabel(panel);
    half->setGeometry(0, 0, 50, 20);
    TResizer& resizer = *MakeResizer(&form, {1024, 768});
    resizer.ResizeControls(panel);
    panel->resize(101, 40);
    resizer.ResizeControls(panel);
    EXPECT_EQ(half->width(), 50);
    panel->resize(103, 40);
    resizer.ResizeControls(panel);
    EXPECT_EQ(half->width(), 52);

    // The same panel nested in a window: the panel follows the window, the
    // label follows the panel.
    TForm window;
    window.resize(200, 80);
    auto* nested = new QFrame(&window);
    nested->setGeometry(0, 0, 100, 40);
    auto* nestedHalf = new QLabel(nested);
    nestedHalf->setGeometry(0, 0, 50, 20);
    TResizer& outer = *MakeResizer(&window, {1024, 768}, {200, 80});
    outer.ResizeControls(&window);
    window.resize(202, 80);
    outer.ResizeControls(&window);
    EXPECT_EQ(nested->width(), 101);
    EXPECT_EQ(nestedHalf->width(), 50);
    window.resize(206, 80);
    outer.ResizeControls(&window);
    EXPECT_EQ(nested->width(), 103);
    EXPECT_EQ(nestedHalf->width(), 52);
}

TEST(Resizer, ChildrenFollowTheSizeTheContainerReallyTook) {
    testenv::Sandbox box;
    TForm form;
    form.resize(200, 100);
    auto* panel = new QFrame(&form);
    panel->setGeometry(0, 0, 100, 100);
    panel->setMaximumWidth(120);
    auto* half = new QLabel(panel);
    half->setGeometry(0, 0, 50, 50);
    TResizer& resizer = *MakeResizer(&form, {1024, 768}, {200, 100});
    resizer.ResizeControls(&form);
    form.resize(400, 100);
    resizer.ResizeControls(&form);
    EXPECT_EQ(panel->width(), 120);
    EXPECT_EQ(half->width(), 60);
}

TEST(Resizer, ResizeFormSizesTheWindowForTheScreen) {
    testenv::Sandbox box;
    {
        // Both screen ratios 1.28: the outer size grows by the ratios.
        TForm form;
        form.resize(346, 337);
        TResizer& resizer = *MakeResizer(&form, {800, 600});
        resizer.SetResizeForm(true);
        resizer.ResizeControls(&form);
        EXPECT_EQ(form.OuterWidth(), 442);
        EXPECT_EQ(form.OuterHeight(), 431);
    }
    {
        // The main window's values on a landscape screen: the height ratio
        // 0.75 decides; the client area is set from the design client area
        // and the controls are placed for it.
        MainWindow w;
        w.resizer->SetResizeForm(true);
        w.resizer->ResizeControls(&w.form);
        EXPECT_EQ(w.form.ClientWidth(), 450);
        EXPECT_EQ(w.form.ClientHeight(), 232);
        EXPECT_EQ(w.At("bbMaster"), QRect(341, 6, 96, 43));
        EXPECT_EQ(w.At("Panel1"), QRect(0, 0, 450, 232));
        w.ResizeTo(338, 310);
        for (const auto& [name, bounds] : w.design) EXPECT_EQ(w.At(name), bounds) << name;
    }
}

TEST(Resizer, FailedFirstCallRaisesAndLeavesTheComponentBusy) {
    testenv::Sandbox box;
    {
        MainWindow w;
        w.resizer->SetDesignScreenHeight(0);
        EXPECT_THROW(w.resizer->ResizeControls(&w.form), settings::Exception);
        // Mending the design values later changes nothing: every call
        // returns at once.
        w.resizer->SetDesignScreenHeight(1024);
        w.resizer->ResizeControls(&w.form);
        w.ResizeTo(400, 300);
        EXPECT_EQ(w.At("bbMaster"), w.design["bbMaster"]);
    }
    {
        // ResizeForm needs a window.
        MainWindow w;
        w.resizer->SetResizeForm(true);
        try {
            w.resizer->ResizeControls(w.panel1);
            ADD_FAILURE() << "no error";
        } catch (const settings::Exception& e) {
            EXPECT_STREQ(e.what(), "Invalid class typecast");
        }
        w.ResizeTo(400, 300);
        EXPECT_EQ(w.At("bbMaster"), w.design["bbMaster"]);
    }
}

TEST(Resizer, CallDuringTheSetUpReturnsAtOnce) {
    testenv::Sandbox box;
    TForm form;
    form.resize(346, 337);
    auto* button = new QPushButton(&form);
    button->setGeometry(100, 100, 50, 50);
    TResizer& resizer = *MakeResizer(&form, {800, 600});
    resizer.SetResizeForm(true);
    form.show();
    // The window's own resize handler calls the rescaler, as the main
    // window's does; the set-up resizes the window and so calls it again.
    int resizeEvents = 0;
    form.OnResize = [&](QObject*) {
        ++resizeEvents;
        resizer.ResizeControls(&form);
    };
    const QSize frame = form.frameGeometry().size() - form.size();
    resizer.ResizeControls(&form);
    EXPECT_GT(resizeEvents, 0);
    // Sized once, not once more by a nested first call.
    EXPECT_EQ(form.OuterWidth(), static_cast<int>((346 + frame.width()) * 1.28));
    EXPECT_EQ(form.OuterHeight(), static_cast<int>((337 + frame.height()) * 1.28));
    // Design client area 0: the size at the first call is the reference.
    EXPECT_EQ(button->geometry(), QRect(100, 100, 50, 50));
    form.OnResize = nullptr;
}

TEST(Resizer, ActiveSuspendsAndResumes) {
    testenv::Sandbox box;
    MainWindow w;
    w.resizer->SetActive(false);
    w.ResizeTo(400, 300);
    EXPECT_EQ(w.At("bbMaster"), w.design["bbMaster"]);
    // The first active call does the set-up: the bounds found are taken as
    // laid out for the design client area.
    w.resizer->SetActive(true);
    w.resizer->ResizeControls(&w.form);
    EXPECT_EQ(w.At("bbMaster"), QRect(303, 8, 85, 55));
    w.resizer->SetActive(false);
    w.ResizeTo(338, 310);
    EXPECT_EQ(w.At("bbMaster"), QRect(303, 8, 85, 55));
    w.resizer->SetActive(true);
    w.resizer->ResizeControls(&w.form);
    for (const auto& [name, bounds] : w.design) EXPECT_EQ(w.At(name), bounds) << name;
}

TEST(Resizer, WindowWithoutChildrenRecordsOnEachCall) {
    testenv::Sandbox box;
    TForm form;
    form.resize(338, 310);
    TResizer& resizer = *MakeResizer(&form, {768, 1024}, {338, 310});
    resizer.ResizeControls(&form);

    // A control made afterwards is recorded by the next call, which moves
    // nothing; the call after that rescales it.
    auto* button = new QPushButton(&form);
    button->setGeometry(100, 100, 50, 50);
    form.resize(400, 300);
    resizer.ResizeControls(&form);
    EXPECT_EQ(button->geometry(), QRect(100, 100, 50, 50));
    form.resize(800, 600);
    resizer.ResizeControls(&form);
    EXPECT_EQ(button->geometry(), QRect(200, 200, 100, 100));

    // From then on nothing is recorded again.
    auto* late = new QPushButton(&form);
    late->setGeometry(10, 10, 20, 20);
    form.resize(400, 300);
    resizer.ResizeControls(&form);
    EXPECT_EQ(button->geometry(), QRect(100, 100, 50, 50));
    EXPECT_EQ(late->geometry(), QRect(10, 10, 20, 20));
}

TEST(Resizer, NestedToolBarIsPlacedButNotLookedInto) {
    testenv::Sandbox box;
    TForm form;
    form.resize(200, 100);
    auto* panel = new QFrame(&form);
    panel->setGeometry(0, 0, 200, 100);
    auto* bar = new QToolBar(panel);
    bar->setGeometry(0, 0, 200, 30);
    auto* onBar = new QLabel(bar);
    onBar->setGeometry(40, 2, 40, 20);
    TResizer& resizer = *MakeResizer(&form, {1024, 768}, {200, 100});
    resizer.ResizeControls(&form);
    form.resize(400, 200);
    resizer.ResizeControls(&form);
    EXPECT_EQ(bar->geometry(), QRect(0, 0, 400, 60));
    EXPECT_EQ(onBar->geometry(), QRect(40, 2, 40, 20));

    // Passed as the argument, the tool bar's children are recorded.
    TResizer& own = *MakeResizer(&form, {1024, 768});
    own.ResizeControls(bar);
    bar->resize(200, 30);
    own.ResizeControls(bar);
    EXPECT_EQ(onBar->geometry(), QRect(20, 1, 20, 10));
}

TEST(Resizer, ZeroSizedContainersAndDestroyedControlsAreLeftAlone) {
    testenv::Sandbox box;
    TForm form;
    form.resize(200, 100);
    auto* flat = new QFrame(&form);
    flat->setGeometry(0, 0, 100, 0);
    auto* inFlat = new QLabel(flat);
    inFlat->setGeometry(5, 5, 10, 10);
    auto* doomed = new QPushButton(&form);
    doomed->setGeometry(100, 10, 50, 50);
    auto* kept = new QPushButton(&form);
    kept->setGeometry(100, 60, 50, 20);
    TResizer& resizer = *MakeResizer(&form, {1024, 768}, {200, 100});
    resizer.ResizeControls(&form);

    delete doomed;
    form.resize(400, 200);
    resizer.ResizeControls(&form);
    EXPECT_EQ(flat->geometry(), QRect(0, 0, 200, 0));
    EXPECT_EQ(inFlat->geometry(), QRect(5, 5, 10, 10));
    EXPECT_EQ(kept->geometry(), QRect(200, 120, 100, 40));
}

TEST(Resizer, TabPagesAreLookedIntoAndLeftToTheirTabWidget) {
    testenv::Sandbox box;
    TForm form;
    form.resize(300, 200);
    auto* tabs = new QTabWidget(&form);
    tabs->setGeometry(0, 0, 300, 200);
    auto* page = new QWidget;
    tabs->addTab(page, QStringLiteral("one"));
    tabs->addTab(new QWidget, QStringLiteral("two"));
    form.show();
    auto* onPage = new QPushButton(page);
    onPage->setGeometry(0, 0, page->width() / 2, page->height() / 2);
    const QSize pageBefore = page->size();
    TResizer& resizer = *MakeResizer(&form, {1024, 768}, {300, 200});
    resizer.ResizeControls(&form);
    form.resize(600, 400);
    resizer.ResizeControls(&form);
    EXPECT_EQ(tabs->geometry(), QRect(0, 0, 600, 400));
    auto* stack = qobject_cast<QStackedWidget*>(page->parentWidget());
    ASSERT_NE(stack, nullptr);
    EXPECT_EQ(page->size(), stack->contentsRect().size());
    EXPECT_GT(page->width(), pageBefore.width());
    EXPECT_NEAR(onPage->width(), page->width() / 2.0, 1.0);
    EXPECT_NEAR(onPage->height(), page->height() / 2.0, 1.0);
}
