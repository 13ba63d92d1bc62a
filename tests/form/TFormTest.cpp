#include <gtest/gtest.h>

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScreen>
#include <QTest>
#include <QWindow>
#include <iterator>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

#include "components/TForm.h"

using components::TForm;

namespace {

// A component that takes over the form's OnDestroy and puts the previous
// handler back when it is freed, as the placement store does.
class HandlerTaker final : public QObject {
public:
    explicit HandlerTaker(TForm* form) : QObject(form), form_(form) {
        previous_ = form->OnDestroy;
        form->OnDestroy = [this](QObject* s) {
            ++taken;
            if (previous_) previous_(s);
        };
    }
    ~HandlerTaker() override { form_->OnDestroy = previous_; }
    int taken = 0;

private:
    TForm* form_;
    TForm::TNotifyEvent previous_;
};

void SendKey(QWidget* target, int key, Qt::KeyboardModifiers mods) {
    QKeyEvent press(QEvent::KeyPress, key, mods);
    QApplication::sendEvent(target, &press);
}

} // namespace

TEST(TForm, CloseQueryRefusalKeepsTheWindowAndSkipsOnClose) {
    TForm form;
    int closes = 0;
    bool allow = false;
    form.OnCloseQuery = [&](QObject*, bool& canClose) { canClose = allow; };
    form.OnClose = [&](QObject*, components::TCloseAction&) { ++closes; };
    form.show();
    EXPECT_FALSE(form.close());
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(closes, 0);
    allow = true;
    EXPECT_TRUE(form.close());
    EXPECT_EQ(closes, 1);
}

TEST(TForm, OnShowRunsBeforeTheWindowIsVisible) {
    TForm form;
    bool visibleDuringShow = true;
    form.OnShow = [&](QObject*) {
        visibleDuringShow = form.testAttribute(Qt::WA_Mapped);
        form.move(40, 50);
    };
    form.show();
    EXPECT_FALSE(visibleDuringShow);
    EXPECT_EQ(form.pos(), QPoint(40, 50));
}

TEST(TForm, KeyPreviewSeesAKeyOfAChildOnceAndDoesNotConsumeIt) {
    TForm form;
    auto* edit = new QLineEdit(&form);
    form.SetKeyPreview(true);
    std::vector<std::pair<int, Qt::KeyboardModifiers>> seen;
    form.OnKeyDown = [&](QObject*, int& key, Qt::KeyboardModifiers shift) { seen.emplace_back(key, shift); };
    form.show();
    // Ctrl+Alt+F is not taken by the edit, so it travels up to the form.
    SendKey(edit, Qt::Key_F, Qt::ControlModifier | Qt::AltModifier);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].first, 70);
    EXPECT_EQ(seen[0].second, Qt::ControlModifier | Qt::AltModifier);
    // A plain letter reaches the edit as well.
    SendKey(edit, Qt::Key_A, Qt::NoModifier);
    QKeyEvent text(QEvent::KeyPress, Qt::Key_B, Qt::NoModifier, QStringLiteral("b"));
    QApplication::sendEvent(edit, &text);
    EXPECT_EQ(edit->text(), QStringLiteral("b"));
    EXPECT_EQ(seen.size(), 3u);

    form.SetKeyPreview(false);
    SendKey(edit, Qt::Key_F, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(seen.size(), 3u);
}

TEST(TForm, VirtualKeyCodesOfLettersDigitsAndTheKeypad) {
    QKeyEvent f(QEvent::KeyPress, Qt::Key_F, Qt::NoModifier);
    QKeyEvent six(QEvent::KeyPress, Qt::Key_6, Qt::KeypadModifier);
    QKeyEvent one(QEvent::KeyPress, Qt::Key_1, Qt::KeypadModifier);
    QKeyEvent digit(QEvent::KeyPress, Qt::Key_1, Qt::NoModifier);
    EXPECT_EQ(TForm::VirtualKeyCode(&f), 70);
    EXPECT_EQ(TForm::VirtualKeyCode(&six), 102);
    EXPECT_EQ(TForm::VirtualKeyCode(&one), 97);
    EXPECT_EQ(TForm::VirtualKeyCode(&digit), 49);

    // A Russian layout alone: the letter of the key's place on a US keyboard
    // (XKB keycodes 41 and 38 are F and A there); other keys give nothing.
    // Windows tells the code itself (below).
    if (QGuiApplication::platformName() == u"windows") return;
    struct Cyrillic {
        char32_t letter;
        quint32 keycode;
        int code;
    };
    for (const Cyrillic& c : {Cyrillic{U'А', 41, 70}, Cyrillic{U'Ф', 38, 65}, Cyrillic{U'Й', 24, 81},
                              Cyrillic{U'Я', 52, 90}, Cyrillic{U'Х', 34, 0}, Cyrillic{U'Ф', 0, 0}}) {
        const QKeyEvent key(QEvent::KeyPress, static_cast<int>(c.letter), Qt::ControlModifier | Qt::AltModifier,
                            c.keycode, 0, 0);
        EXPECT_EQ(TForm::VirtualKeyCode(&key), c.code) << c.keycode;
    }
}

#ifdef _WIN32
// The keys by their place on the keyboard (scan codes), through the window
// system's own input as a keyboard sends them: the active layout (Russian in
// the Wine run) gives each its key code.
TEST(TForm, KeysTypedOnTheKeyboardGiveTheirCodesOnAnyLayout) {
    if (QGuiApplication::platformName() != u"windows") GTEST_SKIP() << "needs the window system's own input";
    TForm form;
    auto* edit = new QLineEdit(&form);
    form.SetKeyPreview(true);
    std::vector<int> seen;
    form.OnKeyDown = [&](QObject*, int& key, Qt::KeyboardModifiers shift) {
        // The letters with both modifiers (the modifier keys come too).
        if (shift.testFlags(Qt::ControlModifier | Qt::AltModifier) && key >= 'A' && key <= 'Z') seen.push_back(key);
    };
    form.show();
    form.activateWindow();
    SetForegroundWindow(reinterpret_cast<HWND>(form.winId()));
    edit->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == edit; }, 5000));
    const auto key = [](WORD scan, bool up) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wScan = scan;
        input.ki.wVk = static_cast<WORD>(MapVirtualKeyW(scan, MAPVK_VSC_TO_VK));
        input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
        return input;
    };
    // Left Ctrl, left Alt, then F and A (scan codes 0x1D, 0x38, 0x21, 0x1E).
    for (const WORD scan : {WORD{0x21}, WORD{0x1E}}) {
        INPUT inputs[] = {key(0x1D, false), key(0x38, false), key(scan, false),
                          key(scan, true),  key(0x38, true),  key(0x1D, true)};
        ASSERT_EQ(SendInput(static_cast<UINT>(std::size(inputs)), inputs, sizeof(INPUT)), std::size(inputs));
        QTest::qWait(300);
    }
    EXPECT_EQ(seen, (std::vector<int>{70, 65}));
    // The layout the run asked for is the one typed with.
    const LANGID language = LOWORD(reinterpret_cast<UINT_PTR>(GetKeyboardLayout(0)));
    if (qEnvironmentVariable("DORV_WINE_XKB_LAYOUT") == u"ru") {
        EXPECT_EQ(PRIMARYLANGID(language), LANG_RUSSIAN);
    }
}
#endif

// Whatever size the window system hands the window (here through its native
// window), it stays within the largest screen, and it still closes.
TEST(TForm, NoSizeGrowsTheWindowBeyondTheLargestScreen) {
    TForm form;
    form.show();
    QSize largest(0, 0);
    for (const QScreen* screen : QGuiApplication::screens()) largest = largest.expandedTo(screen->geometry().size());
    ASSERT_FALSE(largest.isEmpty());
    int resizes = 0;
    form.OnResize = [&](QObject*) { ++resizes; };
    for (const QSize asked : {QSize(32767, 32767), QSize(300, 65534), largest + QSize(1, 0)}) {
        form.windowHandle()->resize(asked);
        QCoreApplication::processEvents();
        EXPECT_LE(form.width(), largest.width()) << asked.width();
        EXPECT_LE(form.height(), largest.height()) << asked.height();
    }
    EXPECT_GE(resizes, 3) << "the handler sees the bounded sizes";
    form.resize(200, 150);
    EXPECT_EQ(form.size(), QSize(200, 150));
    EXPECT_TRUE(form.close());
}

TEST(TForm, ComponentsPutHandlersBackWhileTheFormStillExists) {
    int formOwn = 0;
    auto form = std::make_unique<TForm>();
    form->OnDestroy = [&](QObject*) { ++formOwn; };
    auto* taker = new HandlerTaker(form.get());
    (void)taker;
    form.reset(); // must not touch freed members (checked by the sanitizer build)
    EXPECT_EQ(formOwn, 1);
}
