// The real dialogs behind the seam: what a person sees in a message box.

#include <QAbstractButton>
#include <QApplication>
#include <QCursor>
#include <QDialog>
#include <QFileDialog>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>
#include <algorithm>
#include <filesystem>
#include <optional>
#include <vector>

#include <gtest/gtest.h>

#include "app/Dialogs.h"
#include "app/ErrorReport.h"
#include "app/Translation.h"
#include "host/Paths.h"
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

// What the open dialog says: its title and every caption on it.
struct SeenDialog {
    QString title;
    QStringList captions;
};

// Reads the Qt dialog that is open once the modal loop runs, then either
// types into its file name field and confirms, or cancels it.
void ReadNextDialog(SeenDialog& seen, const QString& typeName = {}) {
    QTimer::singleShot(0, [&seen, typeName] {
        QWidget* dialog = QApplication::activeModalWidget();
        if (!dialog) return;
        seen.title = dialog->windowTitle();
        for (const auto* label : dialog->findChildren<QLabel*>())
            if (label->isVisibleTo(dialog) && !label->text().isEmpty()) seen.captions << label->text();
        for (const auto* button : dialog->findChildren<QAbstractButton*>())
            if (button->isVisibleTo(dialog) && !button->text().isEmpty()) seen.captions << button->text();
        for (const auto* group : dialog->findChildren<QGroupBox*>())
            if (group->isVisibleTo(dialog)) seen.captions << group->title();
        auto* fileDialog = qobject_cast<QFileDialog*>(dialog);
        if (fileDialog && !typeName.isEmpty()) {
            if (auto* name = fileDialog->findChild<QLineEdit*>(u"fileNameEdit"_s)) name->setText(typeName);
            QMetaObject::invokeMethod(fileDialog, &QDialog::accept, Qt::QueuedConnection);
            // A box about the name would open over the dialog: say so, close both.
            QTimer::singleShot(200, [&seen, fileDialog] {
                if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                    seen.captions << u"box: "_s + box->text();
                    box->reject();
                    fileDialog->reject();
                }
            });
        } else {
            qobject_cast<QDialog*>(dialog)->reject();
        }
    });
}

bool HasLatinLetter(const QString& text) {
    return std::any_of(text.begin(), text.end(),
                       [](QChar c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); });
}

TEST(RealDialogs, QtsOwnDialogsSpeakRussian) {
    testenv::Sandbox sandbox;
    ASSERT_TRUE(app::InstallQtTranslation(*QCoreApplication::instance()));
    SeenDialog open, folder, font;
    ReadNextDialog(open);
    EXPECT_FALSE(app::CurrentDialogs().OpenFile(nullptr, u"Ини файлы (*.ini)"_s, sandbox.WorkDir(), u"ini"_s));
    std::vector<const SeenDialog*> seenAll{&open, &font};
#ifndef _WIN32
    // On Windows the folder chooser is the shell's, in the system's language.
    ReadNextDialog(folder);
    EXPECT_FALSE(app::CurrentDialogs().ChooseFolder(nullptr, u"Выберите каталог Windows"_s));
    EXPECT_EQ(folder.title, u"Выберите каталог Windows"_s);
    seenAll.push_back(&folder);
#endif
    ReadNextDialog(font);
    EXPECT_FALSE(app::CurrentDialogs().ChooseFont(nullptr, QFont()));

    EXPECT_EQ(open.title, u"Открыть"_s);
    EXPECT_EQ(font.title, u"Выбор шрифта"_s);
    for (const SeenDialog* seen : seenAll) {
        EXPECT_GE(seen->captions.size(), 3) << seen->title.toStdString();
        for (const QString& caption : seen->captions)
            EXPECT_TRUE(caption == u"OK"_s || !HasLatinLetter(caption))
                << seen->title.toStdString() << ": " << caption.toStdString();
    }
}

TEST(RealDialogs, OpenFileAddsTheDefaultSuffixAndMatchesTheNameWithoutCase) {
    testenv::Sandbox sandbox;
    const std::filesystem::path folder = sandbox.WorkDir();
    for (const char* name : {"TVDORVKY.INI", "NOTES.TXT", "NOTES.TXT.ini"}) testenv::WriteFile(folder / name, "x");
    struct Case {
        QString typed;
        std::optional<std::filesystem::path> chosen;
    };
    const Case cases[] = {
        {u"TVDORVKY"_s, folder / "TVDORVKY.INI"},
        {u"tvdorvky.ini"_s, folder / "TVDORVKY.INI"},
        {u"NOTES.TXT"_s, folder / "NOTES.TXT"}, // a name with an extension keeps it
        {u"MISSING"_s, std::nullopt},
    };
    for (const Case& c : cases) {
        SeenDialog seen;
        ReadNextDialog(seen, c.typed);
        const auto chosen = app::CurrentDialogs().OpenFile(nullptr, u"Ини файлы (*.ini)"_s, folder, u"ini"_s);
        EXPECT_EQ(chosen, c.chosen) << c.typed.toStdString();
        // What the list stores: a Windows path ending in the file's own name.
        if (chosen && c.chosen) {
            EXPECT_TRUE(host::ToWindowsPath(*chosen).ends_with("\\" + c.chosen->filename().string()))
                << host::ToWindowsPath(*chosen);
        }
        EXPECT_EQ(seen.captions.filter(u"box: "_s).size(), c.chosen ? 0 : 1) << c.typed.toStdString();
    }
}

} // namespace
