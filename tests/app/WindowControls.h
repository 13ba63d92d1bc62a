#pragma once
// The main window's controls as the tests reach them: by their design names,
// the way a user's tools find them.

#include <QAction>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QToolButton>

#include <gtest/gtest.h>

#include "components/TZelGrid.h"

namespace apptest {

// The named child, failing the test when there is none.
template <class T>
T* Named(const QObject& window, QStringView name) {
    T* child = window.findChild<T*>(name.toString());
    EXPECT_NE(child, nullptr) << name.toString().toStdString();
    return child;
}

inline QFrame* Panel1(const QObject& w) { return Named<QFrame>(w, u"Panel1"); }
inline components::TZelGrid* sg1(const QObject& w) { return Named<components::TZelGrid>(w, u"sg1"); }
inline QToolButton* sbInit(const QObject& w) { return Named<QToolButton>(w, u"sbInit"); }
inline QLabel* Image1(const QObject& w) { return Named<QLabel>(w, u"Image1"); }
inline QToolButton* sb1(const QObject& w) { return Named<QToolButton>(w, u"sb1"); }
inline QPushButton* bbDorv(const QObject& w) { return Named<QPushButton>(w, u"bbDorv"); }
inline QPushButton* bbMaster(const QObject& w) { return Named<QPushButton>(w, u"bbMaster"); }
inline QPushButton* bbAlternatives(const QObject& w) { return Named<QPushButton>(w, u"bbAlternatives"); }
inline QPushButton* bbCar(const QObject& w) { return Named<QPushButton>(w, u"bbCar"); }
inline QLineEdit* PathTxt(const QObject& w) { return Named<QLineEdit>(w, u"PathTxt"); }
inline QMenu* PopupMenu1(const QObject& w) { return Named<QMenu>(w, u"PopupMenu1"); }
inline QAction* NSelect(const QObject& w) { return Named<QAction>(w, u"NSelect"); }
inline QAction* NDeleteRow(const QObject& w) { return Named<QAction>(w, u"NDeleteRow"); }
inline QAction* NShortcut(const QObject& w) { return Named<QAction>(w, u"NShortcut"); }

} // namespace apptest
