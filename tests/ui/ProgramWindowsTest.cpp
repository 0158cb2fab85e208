#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <memory>

#include "GuiSupport.h"
#include "StoreReads.h"
#include "core/config/ConfigTables.h"
#include "core/store/KeyPaths.h"
#include "ui/ProgramWindows.h"
#include "ui/frmAttributes.h"
#include "ui/frmClass.h"
#include "ui/frmMain.h"
#include "ui/frmTest.h"

namespace morvel {
namespace {

class ProgramWindowsTest : public test::GuiTest {
  protected:
    void SetUp() override {
        GuiTest::SetUp();
        state.PlatformVersion = ConfigTables::kNtPlatformVersion;
        ASSERT_TRUE(SaveTargetTable(registry, state, {{"kind", "Kind", "ID3-based"}}).ok());
        first = dir / "first.exe";
        second = dir / "second.exe";
        test::WriteFile(first, "MZ");
        test::WriteFile(second, "MZ");
        state.CurrentFile = first;
        state.AttributesValid = examiner.ComputeFileAttributes(first, state).ok();
        files = std::make_unique<ProgramWindows>(registry, state, examiner, examples);
    }
    void TearDown() override {
        main.reset();
        files.reset();
        GuiTest::TearDown();
    }

    ConfigTables state;
    FileExaminer examiner;
    ExampleStore examples{registry};
    std::string first, second;
    std::unique_ptr<ProgramWindows> files;
    std::unique_ptr<frmMain> main;
};

TEST_F(ProgramWindowsTest, TheMainWindowOpensEachWindowOnceAndClosesTheAttributesOnAnotherFile) {
    // A valid file opens the classification window with the main window.
    main = std::make_unique<frmMain>(registry, state, examiner, *files);
    frmClass* classification = files->Classification();
    ASSERT_NE(classification, nullptr);
    ASSERT_TRUE(
        test::Eventually([&] { return classification->findChild<QPushButton*>("Command3")->isEnabled(); }));
    // The command again only brings it to the front: the same window, no new run.
    classification->findChildren<QComboBox*>("cmbValue").at(1)->setEditText("typed");
    main->mnFileClass_Click();
    EXPECT_EQ(files->Classification(), classification);
    EXPECT_EQ(classification->findChildren<QComboBox*>("cmbValue").at(1)->currentText(), "typed");

    main->mnFileAttr_Click();
    frmAttributes* attributes = files->Attributes();
    ASSERT_NE(attributes, nullptr);
    EXPECT_TRUE(attributes->isVisible());
    main->mnFileAttr_Click();
    EXPECT_EQ(files->Attributes(), attributes);

    // Another file closes the attributes window, saving nothing; the
    // classification window stays.
    main->OpenFile(QString::fromStdString(second));
    EXPECT_EQ(files->Attributes(), nullptr);
    EXPECT_EQ(test::Number(registry, kBaseKey, "ShowFound"), 0);
    EXPECT_FALSE(test::Exists(registry, std::string(kBaseKey) + "\\ShowFound"));
    EXPECT_EQ(files->Classification(), classification);

    // A closed classification window is not shown again: the command opens a new one.
    classification->close();
    main->mnFileClass_Click();
    ASSERT_NE(files->Classification(), nullptr);
    EXPECT_NE(files->Classification(), classification);
}

TEST_F(ProgramWindowsTest, ALanguageChangeLoadsTheAttributesWindowWithoutShowingIt) {
    files->ReloadAttributes();
    frmAttributes* attributes = files->Attributes();
    ASSERT_NE(attributes, nullptr);
    EXPECT_FALSE(attributes->isVisible());
    files->ShowAttributes();
    EXPECT_EQ(files->Attributes(), attributes);
    EXPECT_TRUE(attributes->isVisible());
}

// The fault pinned: Remember read the examiner's current vector, so a file
// opened in the main window while the classification window was open was
// stored with the values judged for the first file.
TEST_F(ProgramWindowsTest, RememberStoresTheVectorOfTheFileTheWindowClassified) {
    ASSERT_TRUE(SaveSequenceTable(registry, state, {"needle"}).ok());
    test::WriteFile(first, "MZ needle");
    ASSERT_TRUE(examiner.ComputeFileAttributes(first, state).ok());
    main = std::make_unique<frmMain>(registry, state, examiner, *files);
    frmClass* classification = files->Classification();
    ASSERT_NE(classification, nullptr);
    auto* remember = classification->findChild<QPushButton*>("Command3");
    ASSERT_TRUE(test::Eventually([&] { return remember->isEnabled(); }));

    main->OpenFile(QString::fromStdString(second));  // no needle in it
    ASSERT_EQ(state.CurrentFile, second);
    classification->findChildren<QComboBox*>("cmbValue").at(1)->setEditText("packed");
    QTest::mouseClick(remember, Qt::LeftButton);
    const std::string example = ExampleKeyPath(1);
    EXPECT_EQ(test::Number(registry, example, "Containneedle"), 1);  // found, as in the first file
    std::string value;
    EXPECT_TRUE(registry.GetKeyText(example, "Targetkind", value));
    EXPECT_EQ(value, "packed");
    // The second file is still fresh: remembering it makes a new example.
    EXPECT_TRUE(examiner.AttributesFresh());
}

// The fault pinned: the test window examined with the program's examiner, so
// after testing one file File > Classification classified and remembered
// that file's attributes under the name of the file the main window named.
TEST_F(ProgramWindowsTest, TheTestWindowLeavesTheCurrentFilesAttributesAlone) {
    ASSERT_TRUE(SaveSequenceTable(registry, state, {"needle"}).ok());
    test::WriteFile(first, "MZ needle");
    ASSERT_TRUE(examiner.ComputeFileAttributes(first, state).ok());
    main = std::make_unique<frmMain>(registry, state, examiner, *files);
    main->show();
    frmClass* opening = files->Classification();
    ASSERT_NE(opening, nullptr);
    opening->close();

    files->ShowTest();
    QWidget* test = files->Test();
    ASSERT_NE(test, nullptr);
    auto* path = test->findChild<QLineEdit*>("txtFN");
    path->setText(QString::fromStdString(second));  // no needle in it
    QTest::keyClick(path, Qt::Key_Return);
    ASSERT_FALSE(files->Test()->PrintedLines().isEmpty());

    test::ChooseMenuItem(main->menuBar(), main->findChild<QMenu*>("mnFile"),
                         main->findChild<QAction*>("mnFileClass"));
    frmClass* classification = files->Classification();
    ASSERT_NE(classification, nullptr);
    auto* remember = classification->findChild<QPushButton*>("Command3");
    ASSERT_TRUE(test::Eventually([&] { return remember->isEnabled(); }));
    QTest::mouseClick(remember, Qt::LeftButton);
    EXPECT_EQ(test::Number(registry, ExampleKeyPath(1), "Containneedle"), 1);  // the first file's
    EXPECT_EQ(state.CurrentFile, first);
}

}  // namespace
}  // namespace morvel
