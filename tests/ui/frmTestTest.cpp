#include <sys/time.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <memory>

#include "GuiSupport.h"
#include "ui/frmTest.h"

namespace morvel {
namespace {

class frmTestTest : public test::GuiTest {
  protected:
    void SetUp() override {
        GuiTest::SetUp();
        state.PlatformVersion = ConfigTables::kNtPlatformVersion;
        window = std::make_unique<frmTest>(registry, state);
        window->show();
    }
    void TearDown() override {
        window.reset();
        GuiTest::TearDown();
    }
    void Test(const std::string& path) {
        QLineEdit* box = window->findChild<QLineEdit*>("txtFN");
        box->setText(QString::fromStdString(path));
        box->setFocus();
        QTest::keyClick(box, Qt::Key_Return);
    }
    QString Output() { return window->findChild<QLabel*>("pctTest")->text(); }

    ConfigTables state;
    std::unique_ptr<frmTest> window;
};

// The fault pinned: the caption "Имя файла:" ran into the path box.
TEST_F(frmTestTest, TheCaptionLeavesRoomBeforeThePathBox) {
    const QRect caption = window->findChild<QLabel*>("Label1")->geometry();
    const QRect box = window->findChild<QLineEdit*>("txtFN")->geometry();
    EXPECT_LT(caption.right() + 1, box.left());
    EXPECT_LE(box.right(), window->width());
}

TEST_F(frmTestTest, EnterPrintsEighteenLinesForAFileAndNothingForABadPath) {
    EXPECT_EQ(window->windowTitle(), "Атрибуты EXE-файла");
    EXPECT_EQ(window->findChild<QPushButton*>("Command1")->text(), "Тест");
    Test("");
    EXPECT_TRUE(window->PrintedLines().isEmpty());

    const std::string file = dir / "setup.exe";
    test::WriteFile(file, "MZ" + std::string(100, '\0'));
    const timeval march5th2003[2] = {{1046851200, 0}, {1046851200, 0}};  // a Wednesday morning
    ASSERT_EQ(utimes(file.c_str(), march5th2003), 0);
    Test(file);
    const QStringList expected = {"Size: 1",  "Extension: 1", "Name length: 5", "First symbol: 4", "",
                                  "Latin: 1", "Russian: 2",   "Cyfrs: 2",       "Special: 2",      "",
                                  "Day: 5",   "Month: 3",     "Year: 103",      "Weekday: 3",      "Time: 2",
                                  "",         "Type: 2",      "System: 2"};
    EXPECT_EQ(window->PrintedLines(), expected);
    EXPECT_EQ(Output(), expected.join('\n'));

    // A path that cannot be examined clears the output and prints nothing.
    Test(dir / "missing.exe");
    EXPECT_TRUE(window->PrintedLines().isEmpty());
    EXPECT_TRUE(Output().isEmpty());
}

}  // namespace
}  // namespace morvel
