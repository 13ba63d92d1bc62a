// The real dialogs behind the seam: what a person sees in a message box.

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QCursor>
#include <QDialog>
#include <QFileDialog>
#include <QFontDatabase>
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
#include <thread>
#include <vector>

#ifdef _WIN32
#include <chrono>
#include <string_view>

#include <windows.h>
// After windows.h, whose types it uses.
#include <dlgs.h>
#endif

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
    std::vector<const SeenDialog*> seenAll{&open};
#ifndef _WIN32
    // On Windows the folder chooser is the shell's, in the system's language.
    ReadNextDialog(folder);
    EXPECT_FALSE(app::CurrentDialogs().ChooseFolder(nullptr, u"Выберите каталог Windows"_s));
    EXPECT_EQ(folder.title, u"Выберите каталог Windows"_s);
    seenAll.push_back(&folder);
#endif
#ifndef _WIN32
    // On Windows the font dialog is the system's, in the system's language.
    ReadNextDialog(font);
    EXPECT_FALSE(app::CurrentDialogs().ChooseFont(nullptr, QFont(), components::clBlack));
    seenAll.push_back(&font);
    EXPECT_EQ(font.title, u"Выбор шрифта"_s);
#endif

    EXPECT_EQ(open.title, u"Открыть"_s);
    for (const SeenDialog* seen : seenAll) {
        EXPECT_GE(seen->captions.size(), 3) << seen->title.toStdString();
        for (const QString& caption : seen->captions)
            EXPECT_TRUE(caption == u"OK"_s || !HasLatinLetter(caption))
                << seen->title.toStdString() << ": " << caption.toStdString();
    }
}

#ifdef _WIN32
// The system's font dialog, once open: the colour it shows, then standard
// colour `pick` (none when negative) chosen and the dialog confirmed. From a
// thread of its own, since the dialog runs its own message loop.
std::thread AnswerFontDialog(int pick, components::TColor& shown) {
    return std::thread([pick, &shown, owner = GetCurrentThreadId()] {
        HWND dialog = nullptr;
        for (int i = 0; i < 200 && !dialog; ++i) {
            EnumThreadWindows(
                owner,
                [](HWND w, LPARAM found) {
                    wchar_t name[16] = {};
                    GetClassNameW(w, name, 16);
                    // Ready once shown with its colours listed.
                    if (std::wstring_view(name) != L"#32770" || !IsWindowVisible(w) ||
                        SendDlgItemMessageW(w, cmb4, CB_GETCOUNT, 0, 0) < 16)
                        return TRUE;
                    *reinterpret_cast<HWND*>(found) = w;
                    return FALSE;
                },
                reinterpret_cast<LPARAM>(&dialog));
            if (!dialog) std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        if (!dialog) return;
        const LRESULT current = SendDlgItemMessageW(dialog, cmb4, CB_GETCURSEL, 0, 0);
        shown = static_cast<components::TColor>(SendDlgItemMessageW(dialog, cmb4, CB_GETITEMDATA, current, 0));
        if (pick >= 0) {
            // As a click in the list does: the selection, then its notice.
            SendDlgItemMessageW(dialog, cmb4, CB_SETCURSEL, pick, 0);
            SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(cmb4, CBN_SELCHANGE),
                         reinterpret_cast<LPARAM>(GetDlgItem(dialog, cmb4)));
        }
        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    });
}
#else
std::thread AnswerFontDialog(int pick, components::TColor& shown) {
    QTimer::singleShot(0, [pick, &shown] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        auto* colours = dialog ? dialog->findChild<QComboBox*>(u"fontColorBox"_s) : nullptr;
        if (!colours) return;
        shown = colours->currentData().toInt();
        if (pick >= 0) {
            colours->setCurrentIndex(pick);
            emit colours->activated(pick);
        }
        dialog->accept();
    });
    return {};
}
#endif

// The font dialog shows the window's font and colour and gives back what was
// chosen; a colour left alone keeps its code (a system colour stays one).
TEST(RealDialogs, FontDialogTakesAndGivesTheColour) {
    testenv::Sandbox sandbox;
#ifdef _WIN32
    if (QGuiApplication::platformName() != u"windows") GTEST_SKIP() << "the system's font dialog needs its windows";
#endif
    // A face of this machine that has a bold style, so the dialog keeps it
    // (not one of Windows' "@" faces for vertical writing).
    const QStringList faces = QFontDatabase::families();
    const auto found = std::find_if(faces.begin(), faces.end(), [](const QString& f) {
        return !f.startsWith(u'@') && QFontDatabase::styles(f).contains(u"Bold"_s);
    });
    ASSERT_NE(found, faces.end());
    const QString face = *found;
    QFont preset(face, 12);
    preset.setBold(true);
    struct Case {
        components::TColor preset;
        int pick;
        components::TColor chosen;
    };
    const Case cases[] = {
        {components::clRed, 12, 0xFF0000}, // blue chosen
        {0x808000, -1, 0x808000},
        {components::clWindowText, -1, components::clWindowText},
    };
    for (const Case& c : cases) {
        components::TColor shown = -1;
        std::thread answer = AnswerFontDialog(c.pick, shown);
        const auto choice = app::CurrentDialogs().ChooseFont(nullptr, preset, c.preset);
        if (answer.joinable()) answer.join();
        ASSERT_TRUE(choice) << c.preset;
        if (c.preset >= 0) {
            EXPECT_EQ(shown, c.preset) << "the dialog opens on the window's colour";
        }
        EXPECT_EQ(choice->color, c.chosen);
        EXPECT_EQ(choice->font.family(), face);
        EXPECT_EQ(choice->font.pointSize(), 12);
        EXPECT_TRUE(choice->font.bold());
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
