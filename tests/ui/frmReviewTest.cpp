// The review window end to end, from the keyboard: it leaves out the files
// the windows taught, lists the others most worth teaching first, opens the
// chosen one for classification and ranks again after its Remember.
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <memory>

#include "GuiSupport.h"
#include "core/config/ConfigTables.h"
#include "ui/Messages.h"
#include "ui/ProgramWindows.h"
#include "ui/frmClass.h"
#include "ui/frmMain.h"
#include "ui/frmReview.h"

namespace morvel {
namespace {

class frmReviewTest : public test::GuiTest {
  protected:
    void SetUp() override {
        GuiTest::SetUp();
        state.PlatformVersion = ConfigTables::kNtPlatformVersion;
        ASSERT_TRUE(SaveSequenceTable(registry, state, {"alpha", "beta", "gamma", "delta"}).ok());
        ASSERT_TRUE(SaveTargetTable(registry, state, {{"kind", "Kind", "Decision tree"}}).ok());
        folder = dir / "folder";
        std::filesystem::create_directory(folder);
        hooks.folder = [this](const QString&) { return QString::fromStdString(folder); };
        ApplyHooks();
        files = std::make_unique<ProgramWindows>(registry, state, examiner, examples);
        main = std::make_unique<frmMain>(registry, state, examiner, *files);
    }
    void TearDown() override {
        main.reset();
        files.reset();
        GuiTest::TearDown();
    }
    std::string Put(const std::string& name, const std::string& bytes) {
        test::WriteFile(folder + "/" + name, bytes);
        return folder + "/" + name;
    }
    // Classifies the current file in its window and remembers it with value.
    void Teach(const std::string& value) {
        frmClass* window = files->Classification();
        ASSERT_NE(window, nullptr);
        auto* remember = window->findChild<QPushButton*>("Command3");
        ASSERT_TRUE(test::Eventually([&] { return remember->isEnabled(); }));
        window->findChildren<QComboBox*>("cmbValue").at(1)->setEditText(QString::fromStdString(value));
        QTest::mouseClick(remember, Qt::LeftButton);
        ASSERT_TRUE(test::Eventually([&] { return files->Classification() == nullptr; }));
    }
    QStringList Listed(frmReview& review) {
        QStringList names;
        auto* list = review.findChild<QTreeWidget*>("lstFiles");
        for (int i = 0; i < list->topLevelItemCount(); ++i) names << list->topLevelItem(i)->text(0);
        return names;
    }

    ConfigTables state;
    FileExaminer examiner;
    ExampleStore examples{registry};
    std::string folder;
    std::unique_ptr<ProgramWindows> files;
    std::unique_ptr<frmMain> main;
};

TEST_F(frmReviewTest, ListsUntaughtFilesMostWorthFirstOpensOneAndRanksAgainAfterRemember) {
    for (const char* name : {"t1", "t2"}) {
        main->OpenFile(
            QString::fromStdString(Put(std::string(name) + ".exe", std::string("alpha beta ") + name)));
        main->mnFileClass_Click();
        Teach("a");
    }
    Put("near.exe", "alpha beta near");
    const std::string novel = Put("newx.exe", "gamma delta novel");

    main->show();
    test::ChooseMenuItem(main->menuBar(), main->findChild<QMenu*>("mnFile"),
                         main->findChild<QAction*>("mnReview"));
    frmReview* review = files->Review();
    ASSERT_NE(review, nullptr);
    auto* choose = review->findChild<QPushButton*>("cmdChoose");
    ASSERT_EQ(review->focusWidget(), choose);  // the window opens on Choose
    QTest::keyClick(choose, Qt::Key_Space);
    ASSERT_TRUE(test::Eventually([&] { return !review->Reviewing() && !Listed(*review).isEmpty(); }));
    EXPECT_EQ(Listed(*review), (QStringList{"newx.exe", "near.exe"}));
    EXPECT_EQ(review->findChild<QLabel*>("lblStatus")->text(),
              Text(registry, msg::kReviewDone, {"2", "2", "0", "4"}));

    // Enter on the first file classifies it in the main window's examiner.
    auto* list = review->findChild<QTreeWidget*>("lstFiles");
    ASSERT_EQ(review->focusWidget(), list);  // the list takes the focus when it is made
    QTest::keyClick(list, Qt::Key_Return);
    EXPECT_EQ(state.CurrentFile, novel);
    Teach("b");
    ASSERT_TRUE(test::Eventually([&] { return !review->Reviewing() && Listed(*review).size() == 1; }));
    EXPECT_EQ(Listed(*review), QStringList{"near.exe"});
}

TEST_F(frmReviewTest, EscStopsALongReviewAndKeepsTheWindow) {
    for (int i = 0; i < 300; ++i) Put("file" + std::to_string(i) + ".exe", std::string(200000, 'a' + i % 26));
    frmReview* review = files->ShowReview(main.get());
    review->ReviewFolder(QString::fromStdString(folder));
    ASSERT_TRUE(review->Reviewing());
    QTest::keyClick(review, Qt::Key_Escape);
    EXPECT_FALSE(review->Reviewing());
    EXPECT_TRUE(review->isVisible());
    EXPECT_LT(Listed(*review).size(), 300);
    QTest::keyClick(review, Qt::Key_Escape);  // a second Esc closes it
    EXPECT_TRUE(test::Eventually([&] { return files->Review() == nullptr; }));
}

}  // namespace
}  // namespace morvel
