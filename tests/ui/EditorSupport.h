// Helpers for the tests of the configuration editors: running a modal window
// with the test's steps inside it, answering the dialogs it opens in turn,
// and clicking and typing as a user does.
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QListWidget>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>

#include "GuiSupport.h"

namespace morvel::test {

// Runs steps on the first modal window named name (its object name, or its
// class name for a dialog of Qt's own) that becomes the active modal window
// and has the keyboard focus (looked for every 10 ms, for at most ten
// seconds, which only a broken test reaches): on a loaded machine a dialog
// is shown a moment before it is activated. Returns a flag that is true once
// steps ran.
inline std::shared_ptr<bool> WhenOpens(const QString& name, std::function<void(QDialog&)> steps) {
    auto ran = std::make_shared<bool>(false);
    auto* timer = new QTimer(qApp);
    auto ticks = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [timer, ticks, name, steps = std::move(steps), ran] {
        auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        const bool found = modal && modal->isActiveWindow() &&
                           (modal->objectName() == name || QString(modal->metaObject()->className()) == name);
        if (!found && ++*ticks < 1000) return;
        timer->stop();
        timer->deleteLater();
        if (!found) return;
        *ran = true;
        steps(*modal);
    });
    timer->start(10);
    return ran;
}

// Runs steps inside the modal window that open() shows, and returns once
// open() has returned. A window that steps left open (a failed step) is
// rejected, so that the test goes on; the result is false then.
inline bool RunModal(const QString& name, const std::function<void()>& open,
                     std::function<void(QDialog&)> steps) {
    auto closedBySteps = std::make_shared<bool>(false);
    auto ran = WhenOpens(name, [closedBySteps, steps = std::move(steps)](QDialog& window) {
        steps(window);
        *closedBySteps = !window.isVisible();
        if (!*closedBySteps) window.reject();
    });
    open();
    EXPECT_TRUE(*ran) << name.toStdString() << " did not open";
    return *ran && *closedBySteps;
}

template <typename T>
T* Child(const QWidget& window, const char* name) {
    T* found = window.findChild<T*>(name);
    EXPECT_NE(found, nullptr) << name;
    return found;
}

inline void Click(const QWidget& window, const char* button) {
    QTest::mouseClick(Child<QAbstractButton>(window, button), Qt::LeftButton);
}

// Selects a row of a list box with the mouse.
inline void ClickRow(QListWidget* list, int row) {
    QListWidgetItem* item = list->item(row);
    ASSERT_NE(item, nullptr) << "no row " << row;
    list->scrollToItem(item);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(item).center());
}

// Types text into widget key by key, any letters (QTest::keyClicks only
// types Latin-1).
inline void Type(QWidget* widget, const QString& text) {
    for (const QChar ch : text) {
        const auto key = ch.unicode() < 0x80 ? static_cast<Qt::Key>(ch.toUpper().unicode()) : Qt::Key_unknown;
        QTest::sendKeyEvent(QTest::Click, widget, key, QString(ch), Qt::NoModifier);
    }
}

inline QStringList Rows(const QListWidget* list) {
    QStringList rows;
    for (int r = 0; r < list->count(); ++r) rows << list->item(r)->text();
    return rows;
}

inline int SelectedRow(const QListWidget* list) {
    const auto selected = list->selectedItems();
    return selected.isEmpty() ? -1 : list->row(selected.first());
}

// The object names of the widgets that Tab visits from the focused one on,
// count of them, each reached by a real Tab key press.
inline QStringList TabOrder(QWidget& window, int count) {
    QStringList names;
    for (int i = 0; i < count; ++i) {
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : &window, Qt::Key_Tab);
        names << (QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString());
    }
    return names;
}

}  // namespace morvel::test
