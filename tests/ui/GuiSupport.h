// Helpers for the widget tests: a store and a program folder of the test's
// own, the toolkit's dialogs and process starts answered by the test, and
// menu choices made with the mouse as a user makes them.
#pragma once

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <memory>

#include "TestSupport.h"
#include "core/store/Registry.h"
#include "ui/toolkit.h"

namespace morvel::test {

class GuiTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(registry.Open(dir.Store()).ok());
        std::filesystem::create_directory(dir / "Interfaces");
        hooks.programFolder = QString::fromStdString(dir.path());
        hooks.message = [this](const QString& text) { messages << text; };
        hooks.question = [this](const QString& text) {
            questions << text;
            return answer;
        };
        hooks.endProgram = [this] { ++endedPrograms; };
        hooks.start = [this](const QString& program, const QStringList& arguments) {
            started << QStringList{program} + arguments;
            return startResult;
        };
        hooks.beep = [this] { ++beeps; };
        toolkit::SetHooks(hooks);
    }
    void TearDown() override {
        // Closed while the hooks still answer: a real end of the program would
        // make every later event loop of this test run return at once.
        for (QWidget* w : QApplication::topLevelWidgets()) w->close();
        toolkit::SetHooks({});
    }
    // Replaces the hooks after a test changed some of them.
    void ApplyHooks() { toolkit::SetHooks(hooks); }

    void WriteLanguage(const std::string& fileName, const std::string& bytes) {
        WriteFile(dir / ("Interfaces/" + fileName), bytes);
    }

    test::TempDir dir;
    Registry registry;
    toolkit::Hooks hooks;
    QStringList messages;
    QStringList questions;  // asked with Yes and No; each answered with answer
    bool answer = false;
    int endedPrograms = 0;
    int beeps = 0;
    QList<QStringList> started;
    Status startResult;
};

// Waits until done() holds, processing events (at most five seconds, which
// only a broken test reaches). QTRY_VERIFY would not report to GoogleTest.
inline bool Eventually(const std::function<bool()>& done) { return QTest::qWaitFor(done); }

// Opens menu from the window's menu bar and clicks item, with the mouse. A
// disabled item leaves the menu open; Esc then closes it.
inline void ChooseMenuItem(QMenuBar* bar, QMenu* menu, QAction* item) {
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(menu->menuAction()).center());
    ASSERT_TRUE(Eventually([&] { return menu->isVisible(); }));
    ASSERT_TRUE(menu->actionGeometry(item).isValid()) << "the item is not in the menu";
    // The item is chosen from the keyboard: offscreen, Qt 6.8's menus take no
    // pointer entering them, so a click lands on no item there.
    menu->setActiveAction(item);
    QTest::keyClick(menu, Qt::Key_Return);
    if (menu->isVisible()) QTest::keyClick(menu, Qt::Key_Escape);
    ASSERT_TRUE(Eventually([&] { return !menu->isVisible(); }));
}

// Runs check on the modal window that a later call opens, once it is open
// (looked for every 10 ms, for at most ten seconds).
inline void WhenModalOpens(std::function<void(QWidget*)> check, bool* ran) {
    auto* timer = new QTimer(qApp);
    auto ticks = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [timer, ticks, check = std::move(check), ran] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal && ++*ticks < 1000) return;
        timer->stop();
        timer->deleteLater();
        if (!modal) return;
        check(modal);
        *ran = true;
    });
    timer->start(10);
}

}  // namespace morvel::test
