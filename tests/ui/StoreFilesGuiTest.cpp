// Pins the lost and rolled-back writes seen in use: the window's process
// opened and closed the store's files outside its connection (the file named
// on the command line, a file chosen or dropped, the open dialog telling the
// types of the files it lists), which dropped the connection's file locks;
// the next program to leave the store deleted its log, the window's later
// Remember went into the deleted log, and closing the window wrote its stale
// state back over what the other program had stored.
#include <QComboBox>
#include <QDropEvent>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QUrl>
#include <filesystem>
#include <memory>

#include "GuiSupport.h"
#include "OtherProcess.h"
#include "core/config/ConfigTables.h"
#include "core/store/KeyPaths.h"
#include "ui/Messages.h"
#include "ui/ProgramWindows.h"
#include "ui/frmClass.h"
#include "ui/frmMain.h"
#include "ui/frmTest.h"

namespace morvel {
namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

class StoreFilesGuiTest : public test::GuiTest {
  protected:
    void SetUp() override {
        GuiTest::SetUp();
        state.PlatformVersion = ConfigTables::kNtPlatformVersion;
        ASSERT_TRUE(SaveTargetTable(registry, state, {{"kind", "Kind", "ID3-based"}}).ok());
        first = dir / "first.exe";
        test::WriteFile(first, "MZ");
        store = dir.Store();
    }
    void TearDown() override {
        main.reset();
        files.reset();
        GuiTest::TearDown();
    }

    // Starts the program on file, as its command line names it.
    void Start(const std::string& file) {
        main.reset();
        files.reset();
        state.CurrentFile = file;
        state.AttributesValid = examiner.ComputeFileAttributes(file, state).ok();
        files = std::make_unique<ProgramWindows>(registry, state, examiner, examples);
        main = std::make_unique<frmMain>(registry, state, examiner, *files);
    }
    // Started on first: its classification window is ready for Remember.
    frmClass& Classifying() {
        Start(first);
        frmClass* classification = files->Classification();
        EXPECT_NE(classification, nullptr);
        EXPECT_TRUE(test::Eventually(
            [&] { return classification->findChild<QPushButton*>("Command3")->isEnabled(); }));
        return *classification;
    }
    // The program waits for the user, as it does between any two of the user's actions.
    static void WaitForUser() {
        QEventLoop loop;
        QTimer::singleShot(20, &loop, &QEventLoop::quit);
        loop.exec();
    }
    std::string SeenByOthers() { return test::OtherProcessOutput(store, {"dump"}); }

    ConfigTables state;
    FileExaminer examiner;
    ExampleStore examples{registry};
    std::string first, store;
    std::unique_ptr<ProgramWindows> files;
    std::unique_ptr<frmMain> main;
};

TEST_F(StoreFilesGuiTest, ARememberAfterAStrayOpenInTheProcessReachesTheDiskAndLeavingOverwritesNothing) {
    frmClass& classification = Classifying();
    WaitForUser();
    test::OpenAndCloseStoreFiles(store);
    test::AnotherProgramVisits(store);
    WaitForUser();

    QComboBox* value = classification.findChildren<QComboBox*>("cmbValue").at(1);
    value->setEditText("kept");
    value->setFocus();
    QTest::keyClick(value, Qt::Key_Return);
    EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
    EXPECT_NE(SeenByOthers().find("\"Targetkind\"=\"kept\""), std::string::npos);

    // Another program stores a target; then the program ends.
    WaitForUser();
    test::OtherProcessOutput(store, {"targets", "add", "later", "Later", "Naive Bayes"});
    const std::string before = SeenByOthers();
    ASSERT_NE(before.find("\"later\""), std::string::npos);
    main->close();
    main.reset();
    files.reset();
    // The program's end closes its connection to the store.
    ASSERT_TRUE(registry.Open(dir / "after.sqlite").ok());
    EXPECT_EQ(SeenByOthers(), before);
}

TEST_F(StoreFilesGuiTest, TheWindowsRefuseTheStoresFilesWithAMessageAndOpenNone) {
    auto refusal = [&](const std::string& path) { return Text(registry, msg::kStoreFile, {Q(path)}); };
    Start(store);
    EXPECT_EQ(messages, QStringList{refusal(store)});
    EXPECT_FALSE(state.AttributesValid);

    Classifying();
    messages.clear();
    main->OpenFile(Q(store + "-wal"));
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(Q(store + "-shm"))});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(main.get(), &enter);
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(main.get(), &drop);
    EXPECT_EQ(messages, (QStringList{refusal(store + "-wal"), refusal(store + "-shm")}));
    EXPECT_EQ(state.CurrentFile, first);
    EXPECT_TRUE(state.AttributesValid);

    files->ShowTest();
    auto* path = files->Test()->findChild<QLineEdit*>("txtFN");
    path->setText(Q(store));
    QTest::keyClick(path, Qt::Key_Return);
    EXPECT_EQ(messages.size(), 3);
    EXPECT_TRUE(files->Test()->PrintedLines().isEmpty());

    // The current file became another name of the store since it was opened.
    std::filesystem::remove(first);
    std::filesystem::create_hard_link(store, first);
    main->mnFileRun_Click();
    EXPECT_EQ(messages.size(), 4);
    EXPECT_EQ(messages.back(), refusal(first));
    EXPECT_TRUE(started.isEmpty());
}

TEST_F(StoreFilesGuiTest, TheOpenDialogListsTheStoresFolderWithoutOpeningItsFiles) {
    // This process's connection holds the store, its log beside it.
    ASSERT_TRUE(std::filesystem::exists(store + "-wal"));
    std::unique_ptr<QFileDialog> dialog(
        toolkit::MakeOpenDialog(nullptr, {"Open", Q(dir.path()), {"All files (*)"}}));
    dialog->show();
    auto* model = dialog->findChild<QFileSystemModel*>();
    ASSERT_NE(model, nullptr);
    // Listed, with every file's type told.
    ASSERT_TRUE(test::Eventually([&] {
        const QModelIndex folder = model->index(Q(dir.path()));
        if (model->rowCount(folder) < 4) return false;
        for (int row = 0; row < model->rowCount(folder); ++row)
            if (model->type(model->index(row, 0, folder)).isEmpty()) return false;
        return true;
    }));
    dialog->reject();

    test::AnotherProgramVisits(store);
    ASSERT_TRUE(registry.SetKeyText(InterfaceKeyPath(), "Written", "after the dialog"));
    EXPECT_NE(SeenByOthers().find("\"Written\"=\"after the dialog\""), std::string::npos);
}

}  // namespace
}  // namespace morvel
