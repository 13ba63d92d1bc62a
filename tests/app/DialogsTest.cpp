// The real dialogs behind the seam: what a person sees in a message box.

#include <QAbstractButton>
#include <QCursor>
#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>
#include <optional>

#include <gtest/gtest.h>

#include "app/Dialogs.h"
#include "app/ErrorReport.h"
#include "tests/support/Sandbox.h"

using namespace Qt::Literals::StringLiterals;

namespace {

struct SeenBox {
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QStringList buttons;
    bool centred = false;
    std::optional<Qt::CursorShape> cursor; // the override cursor while open
};

// Reads the box that is open once the modal loop runs, then closes it with
// its own button.
void ReadNextBox(SeenBox& seen) {
    QTimer::singleShot(0, [&seen] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        seen.title = box->windowTitle();
        seen.text = box->text();
        seen.icon = box->icon();
        for (QAbstractButton* b : box->buttons()) seen.buttons.append(b->text());
        const QPoint centre = box->frameGeometry().center();
        const QPoint screen = QGuiApplication::primaryScreen()->availableGeometry().center();
        seen.centred = (centre - screen).manhattanLength() <= 2;
        if (const QCursor* cursor = QGuiApplication::overrideCursor()) seen.cursor = cursor->shape();
        box->buttons().constFirst()->click();
    });
}

TEST(RealDialogs, BoxesHaveTheirTitleIconAndOneOkButton) {
    testenv::Sandbox sandbox;
    SeenBox error, info, report;
    ReadNextBox(error);
    app::ErrorBox(nullptr, u"Нет файла"_s);
    ReadNextBox(info);
    app::InfoBox(nullptr, u"Ok"_s);
    ReadNextBox(report);
    app::Guarded([] { throw std::runtime_error("Не могу записать в column1.txt"); });

    EXPECT_EQ(error.title, u"Ошибка"_s);
    EXPECT_EQ(error.icon, QMessageBox::Critical);
    EXPECT_EQ(error.buttons, QStringList{u"OK"_s});
    EXPECT_TRUE(error.centred);
    EXPECT_EQ(info.title, u"Информация"_s);
    EXPECT_EQ(info.icon, QMessageBox::Information);
    EXPECT_EQ(info.text, u"Ok"_s);
    EXPECT_EQ(info.buttons, QStringList{u"OK"_s});
    EXPECT_EQ(report.title, u"Запуск Дорва"_s);
    EXPECT_EQ(report.icon, QMessageBox::Critical);
    EXPECT_EQ(report.text, u"Не могу записать в column1.txt."_s);
    EXPECT_EQ(report.buttons, QStringList{u"OK"_s});
    EXPECT_FALSE(error.cursor) << "no override cursor is made up";
}

TEST(RealDialogs, BoxOpenedDuringALongOperationShowsTheOrdinaryPointer) {
    testenv::Sandbox sandbox;
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    SeenBox box;
    ReadNextBox(box);
    app::ErrorBox(nullptr, u"Нет файла"_s);
    ASSERT_TRUE(QGuiApplication::overrideCursor());
    const Qt::CursorShape after = QGuiApplication::overrideCursor()->shape();
    QGuiApplication::restoreOverrideCursor();
    EXPECT_EQ(box.title, u"Ошибка"_s);
    EXPECT_EQ(box.cursor, Qt::ArrowCursor);
    EXPECT_EQ(after, Qt::WaitCursor) << "the hourglass comes back for the rest of the operation";
    EXPECT_FALSE(QGuiApplication::overrideCursor());
}

} // namespace
