#include <gtest/gtest.h>

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLineEdit>

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
