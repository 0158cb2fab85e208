#include <sys/stat.h>
#include <unistd.h>

#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QMimeData>
#include <QUrl>
#include <filesystem>
#include <memory>
#include <sstream>

#include "GuiSupport.h"
#include "StoreReads.h"
#include "core/exchange/LanguageFile.h"
#include "core/exchange/RegFileWriter.h"
#include "core/platform/CodePage.h"
#include "core/store/KeyPaths.h"
#include "ui/Messages.h"
#include "ui/frmMain.h"

namespace morvel {
namespace {

const std::string kInterfaceKey = "[HKEY_CURRENT_USER\\SOFTWARE\\Norwick\\Morvel\\Interface]";

std::string Language(const std::string& body) {
    return codepage::ToAnsi("REGEDIT4\n" + kInterfaceKey + "\n" + body);
}

// The program's windows as the main window asks for them: counted, not opened
// (the About box and the system information are the real ones).
class CountingWindows : public ProgramWindows {
  public:
    using ProgramWindows::ProgramWindows;
    void ShowAttributes() override { ++calls["attributes"]; }
    void UnloadAttributes() override { ++calls["unloadAttributes"]; }
    void ReloadAttributes() override { ++calls["reloadAttributes"]; }
    void RefreshAttributes() override { ++calls["refreshAttributes"]; }
    void ShowClassification() override { ++calls["classification"]; }
    bool ShowAdvAttr(QWidget*) override {
        ++calls["advanced"];
        return advAttrChanges;
    }
    void ShowTargetAttr(QWidget*) override { ++calls["target"]; }

    std::map<std::string, int> calls;
    bool advAttrChanges = false;
};

class frmMainTest : public test::GuiTest {
  protected:
    void SetUp() override {
        GuiTest::SetUp();
        setupExe = dir / "setup.exe";
        test::WriteFile(setupExe, "MZ" + std::string(200, '\0'));
        otherExe = dir / "other.com";
        test::WriteFile(otherExe, "MZ");
        state.PlatformVersion = ConfigTables::kNtPlatformVersion;
    }

    // Starts as the program does: CurrentFile from the command line, then its attributes.
    frmMain& Start(const std::string& file) {
        state.CurrentFile = file;
        state.AttributesValid = examiner.ComputeFileAttributes(file, state).ok();
        window = std::make_unique<frmMain>(registry, state, examiner, windows);
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        return *window;
    }

    template <typename T>
    T* Find(const char* name) {
        T* found = window->findChild<T*>(name);
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QAction* Item(const char* name) { return Find<QAction>(name); }
    QMenu* Menu(const char* name) { return Find<QMenu>(name); }
    QList<QAction*> LanguageItems() { return window->findChildren<QAction*>("mnLang"); }

    void Choose(const char* menu, QAction* item) {
        test::ChooseMenuItem(window->menuBar(), Menu(menu), item);
    }
    void Choose(const char* menu, const char* item) { Choose(menu, Item(item)); }
    void ChooseLanguage(int index) { Choose("mnInterface", LanguageItems().at(index)); }

    bool FileCommandsEnabled() {
        const bool attr = Item("mnFileAttr")->isEnabled();
        EXPECT_EQ(Item("mnFileClass")->isEnabled(), attr);
        EXPECT_EQ(Item("mnFileRun")->isEnabled(), attr);
        return attr;
    }
    QStringList MenuBarCaptions() {
        QStringList captions;
        for (QAction* a : window->menuBar()->actions()) captions << a->text();
        return captions;
    }
    std::string Dump() {
        std::ostringstream out;
        DumpRegText(registry, "", out);
        return out.str();
    }

    std::string setupExe, otherExe;
    ConfigTables state;
    FileExaminer examiner;
    ExampleStore examples{registry};
    CountingWindows windows{registry, state, examiner, examples};
    std::map<std::string, int>& calls = windows.calls;
    std::unique_ptr<frmMain> window;
};

TEST_F(frmMainTest, WithoutAFileTheTitleIsBareAndTheFileCommandsAreDisabled) {
    Start("");
    EXPECT_EQ(window->windowTitle(), "Morvel");
    EXPECT_FALSE(FileCommandsEnabled());
    EXPECT_EQ(calls["classification"], 0);
    EXPECT_EQ(MenuBarCaptions(), (QStringList{"Файл", "Настройки", "Интерфейс", "Информация"}));
    QStringList file;
    for (QAction* a : Menu("mnFile")->actions()) file << (a->isSeparator() ? "-" : a->text());
    EXPECT_EQ(file, (QStringList{"Открыть", "Обзор папки...", "-", "Атрибуты", "Классификация", "Запустить", "-", "Закрыть"}));
    EXPECT_EQ(Item("mnAdvanced")->text(), "Дополнительные атрибуты");
    EXPECT_EQ(Item("mnTarget")->text(), "Целевые атрибуты");
    EXPECT_EQ(Item("mnAbout")->text(), "О программе");
    EXPECT_EQ(Item("mnSysInfo")->text(), "О системе");
    // A disabled command does nothing when clicked.
    Choose("mnFile", "mnFileAttr");
    EXPECT_EQ(calls["attributes"], 0);
    // Loading created the interface key, and wrote nothing else.
    EXPECT_TRUE(test::Exists(registry, InterfaceKeyPath()));
    EXPECT_TRUE(test::ValuesOf(registry, InterfaceKeyPath()).empty());
}

TEST_F(frmMainTest, WithAValidFileTheTitleNamesItAndClassificationOpensAtOnce) {
    Start(setupExe);
    EXPECT_EQ(window->windowTitle(), "Morvel - setup.exe");
    EXPECT_TRUE(FileCommandsEnabled());
    EXPECT_EQ(calls["classification"], 1);
    Choose("mnFile", "mnFileAttr");
    Choose("mnFile", "mnFileClass");
    Choose("mnSettings", "mnAdvanced");
    Choose("mnSettings", "mnTarget");
    EXPECT_EQ(calls, (std::map<std::string, int>{
                         {"attributes", 1}, {"classification", 2}, {"advanced", 1}, {"target", 1}}));
}

TEST_F(frmMainTest, AFileThatCannotBeExaminedIsNamedButItsCommandsAreDisabled) {
    Start(dir / "missing.exe");
    EXPECT_EQ(window->windowTitle(), "Morvel - missing.exe");
    EXPECT_FALSE(FileCommandsEnabled());
    EXPECT_EQ(calls["classification"], 0);
}

TEST_F(frmMainTest, OpenOfASecondFileThatFailsKeepsTheFirstNamedAndDisablesTheCommands) {
    Start(setupExe);
    QStringList titlesDuringExamination;
    std::vector<std::string> answers = {otherExe, dir / "gone.exe", ""};
    hooks.openFile = [&](const toolkit::OpenFileRequest&) {
        const std::string next = answers.front();
        answers.erase(answers.begin());
        return QString::fromStdString(next);
    };
    ApplyHooks();

    Choose("mnFile", "mnOpen");
    EXPECT_EQ(window->windowTitle(), "Morvel - other.com");
    EXPECT_EQ(state.CurrentFile, otherExe);
    EXPECT_TRUE(FileCommandsEnabled());
    EXPECT_EQ(calls["unloadAttributes"], 1);

    Choose("mnFile", "mnOpen");
    EXPECT_EQ(window->windowTitle(), "Morvel - other.com");
    EXPECT_EQ(state.CurrentFile, otherExe);
    EXPECT_FALSE(state.AttributesValid);
    EXPECT_FALSE(FileCommandsEnabled());
    EXPECT_EQ(calls["unloadAttributes"], 2);
    // The fault pinned: the commands were disabled with no word why.
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains(QString::fromStdString(dir / "gone.exe")));
    EXPECT_TRUE(messages[0].contains(Text(registry, msg::kFileMissing))) << messages[0].toStdString();

    // Cancelling the dialog changes nothing.
    Choose("mnFile", "mnOpen");
    EXPECT_EQ(window->windowTitle(), "Morvel - other.com");
    EXPECT_EQ(calls["unloadAttributes"], 2);
    EXPECT_EQ(calls["classification"], 1);  // only at start: Open does not open it
}

// The fault pinned: a file that could not be read (no permission, a folder)
// left the file commands disabled with no word why. The reason comes in the
// interface's language.
TEST_F(frmMainTest, AFileThatCannotBeReadIsRefusedSayingWhyInTheInterfacesLanguage) {
    const std::string locked = dir / "locked.exe";
    test::WriteFile(locked, "MZ");
    ASSERT_EQ(chmod(locked.c_str(), 0), 0);
    const std::string folder = dir / "folder.exe";
    std::filesystem::create_directory(folder);
    const bool root = geteuid() == 0;  // reads whatever the mode says
    WriteLanguage("English.lng", test::ReadFile(std::string(MORVEL_SOURCE_DIR) + "/Interfaces/English.lng"));
    Start(setupExe);
    for (const std::string& file : root ? std::vector{folder} : std::vector{locked, folder}) {
        window->OpenFile(QString::fromStdString(file));
        EXPECT_FALSE(FileCommandsEnabled());
        EXPECT_EQ(state.CurrentFile, setupExe);
    }
    ASSERT_EQ(messages.size(), root ? 1 : 2);
    EXPECT_TRUE(messages.last().contains(QString::fromStdString(folder)));
    EXPECT_TRUE(messages.last().contains(Text(registry, msg::kFileNotRegular)));
    if (!root) {
        EXPECT_TRUE(messages[0].contains(Text(registry, msg::kFileUnreadable)));
    }

    ChooseLanguage(0);
    window->OpenFile(QString::fromStdString(folder));
    ASSERT_EQ(messages.size(), root ? 2 : 3);
    EXPECT_TRUE(messages.last().contains(Text(registry, msg::kFileNotRegular)));
    EXPECT_FALSE(messages.last().contains(QString::fromUtf8(msg::kFileNotRegular.russian)));
}

TEST_F(frmMainTest, TheOpenDialogShowsTheFiltersTheMenuCaptionAndTheCurrentFolder) {
    WriteLanguage("English.lng", Language("\"mnOpen\"=\"Open a file\"\n"));
    Start("");
    ChooseLanguage(0);
    bool checked = false;
    test::WhenModalOpens(
        [](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            ASSERT_NE(dialog, nullptr);
            EXPECT_EQ(dialog->windowTitle(), "Open a file");
            EXPECT_EQ(dialog->nameFilters(),
                      (QStringList{"Исполняемые файлы (*.exe *.com *.scr)", "Приложения EXE (*.exe)",
                                   "Приложения COM (*.com)", "Экранная заставка (*.scr)", "Все файлы (*)"}));
            EXPECT_EQ(dialog->selectedNameFilter(), "Исполняемые файлы (*.exe *.com *.scr)");
            EXPECT_EQ(dialog->fileMode(), QFileDialog::ExistingFile);
            EXPECT_EQ(QDir(dialog->directory()).canonicalPath(), QDir::current().canonicalPath());
            // Windows programs often have capital extensions: the filters ignore letter case.
            EXPECT_FALSE(dialog->filter().testFlag(QDir::CaseSensitive));
            dialog->reject();
        },
        &checked);
    Choose("mnFile", "mnOpen");
    EXPECT_TRUE(test::Eventually([&] { return checked; }));
    EXPECT_EQ(window->windowTitle(), "Morvel");
}

TEST_F(frmMainTest, TheInterfaceMenuListsTheLanguageFilesByNameWithAHiddenSpare) {
    WriteLanguage("English.lng", Language(""));
    WriteLanguage("Deutsch.lng", Language(""));
    WriteLanguage("notes.txt", "");
    Start("");
    const QList<QAction*> items = LanguageItems();
    ASSERT_EQ(items.size(), 3);
    EXPECT_EQ(items[0]->text(), "Deutsch");
    EXPECT_EQ(items[1]->text(), "English");
    EXPECT_TRUE(items[0]->isVisible() && items[1]->isVisible());
    EXPECT_FALSE(items[2]->isVisible());
    EXPECT_EQ(Menu("mnInterface")->actions(), items);
}

TEST_F(frmMainTest, WithoutLanguageFilesTheInterfaceMenuHoldsOnlyAnEmptyHiddenItem) {
    Start("");
    const QList<QAction*> items = LanguageItems();
    ASSERT_EQ(items.size(), 1);
    EXPECT_EQ(items[0]->text(), "");
    EXPECT_FALSE(items[0]->isVisible());
}

TEST_F(frmMainTest, PartialLanguagesReplaceOnlyTheirTextsAndKeepTheEarlierOnes) {
    WriteLanguage("A.lng", Language("\"mnFile\"=\"File\"\n\"mnOpen\"=\"Open\"\n"));
    WriteLanguage("B.lng", Language("\"mnOpen\"=\"Oeffnen\"\n\"mnInfo\"=\"\"\n"));
    Start("");
    ChooseLanguage(0);
    EXPECT_EQ(MenuBarCaptions(), (QStringList{"File", "Настройки", "Интерфейс", "Информация"}));
    EXPECT_EQ(Item("mnOpen")->text(), "Open");
    EXPECT_EQ(Item("mnClose")->text(), "Закрыть");
    EXPECT_EQ(calls["reloadAttributes"], 1);

    ChooseLanguage(1);
    EXPECT_EQ(MenuBarCaptions(), (QStringList{"File", "Настройки", "Интерфейс", ""}));
    EXPECT_EQ(Item("mnOpen")->text(), "Oeffnen");
    EXPECT_EQ(calls["reloadAttributes"], 2);
    EXPECT_TRUE(messages.isEmpty());

    // The texts stay for the next start.
    window.reset();
    Start("");
    EXPECT_EQ(MenuBarCaptions(), (QStringList{"File", "Настройки", "Интерфейс", ""}));
}

TEST_F(frmMainTest, AHostileLanguageWritesOnlyInterfaceTextsAndItsProblemsAreShown) {
    WriteLanguage(
        "Evil.lng",
        Language("\"mnFile\"=\"Fichier\"\n"
                 "[HKEY_CURRENT_USER\\SOFTWARE\\Norwick\\Morvel\\Interface\\..\\Attributes\\Target]\n"
                 "\"Count\"=dword:00000020\n"
                 "[-HKEY_CURRENT_USER\\SOFTWARE\\Norwick\\Morvel\\Examples]\n" +
                 kInterfaceKey + "\n\"mnOpen\"=hex:41,00\n\"mnClose\"=\"unterminated\n"));
    Start("");
    ChooseLanguage(0);
    EXPECT_EQ(Menu("mnFile")->title(), "Fichier");
    EXPECT_EQ(Item("mnOpen")->text(), "Открыть");
    EXPECT_EQ(Item("mnClose")->text(), "Закрыть");
    ASSERT_EQ(messages.size(), 1);
    const QString file = QString::fromStdString(dir / "Interfaces/Evil.lng");
    EXPECT_TRUE(messages[0].startsWith(Text(registry, msg::kLanguageSkipped, {file, "4"})))
        << messages[0].toStdString();
    for (const char* line : {"4", "6", "8", "9"})
        EXPECT_TRUE(messages[0].contains("\n" + Text(registry, msg::kLanguageLine, {line, ""}))) << line;
    // Why, in the interface's words.
    for (const Message& why : {msg::kLanguageDeletion, msg::kLanguageNotText, msg::kLanguageMalformed})
        EXPECT_TRUE(messages[0].contains(Text(registry, why))) << why.name;
    EXPECT_EQ(Dump(),
              "REGEDIT4\n\n[HKEY_CURRENT_USER\\SOFTWARE]\n\n[HKEY_CURRENT_USER\\SOFTWARE\\Norwick]\n\n"
              "[HKEY_CURRENT_USER\\SOFTWARE\\Norwick\\Morvel]\n\n" +
                  kInterfaceKey + "\n\"mnFile\"=\"Fichier\"\n");
}

// The fault pinned: why a language file was refused came in English words
// inside the Russian message.
TEST_F(frmMainTest, ARefusedLanguageFileIsToldInTheInterfacesWords) {
    WriteLanguage("Notes.lng", "These are notes, not interface texts.\n");
    Start("");
    ChooseLanguage(0);
    ASSERT_EQ(messages.size(), 1);
    const QString file = QString::fromStdString(dir / "Interfaces/Notes.lng");
    const QStringList lines = messages[0].split('\n');
    ASSERT_EQ(lines.size(), 3) << messages[0].toStdString();
    EXPECT_EQ(lines[0], Text(registry, msg::kLanguageFailed, {file}));
    EXPECT_EQ(lines[1], Text(registry, msg::kLanguageNotLanguage));
    EXPECT_TRUE(lines[2].startsWith(Text(registry, msg::kDetail, {""}))) << lines[2].toStdString();
}

// The fault pinned: an item rebuilt its file's path from its caption, so
// FRENCH.LNG ("…/FRENCH.lng is not a file") and English.old.lng ("English")
// could never be imported.
TEST_F(frmMainTest, EachLanguageItemImportsTheFileItWasListedFrom) {
    WriteLanguage("English.old.lng", Language("\"mnFile\"=\"Old\"\n"));
    WriteLanguage("FRENCH.LNG", Language("\"mnFile\"=\"Fichier\"\n"));
    Start("");
    ASSERT_EQ(LanguageItems()[0]->text(), "English");
    ASSERT_EQ(LanguageItems()[1]->text(), "FRENCH");
    ChooseLanguage(0);
    EXPECT_EQ(Menu("mnFile")->title(), "Old");
    ChooseLanguage(1);
    EXPECT_EQ(Menu("mnFile")->title(), "Fichier");
    EXPECT_TRUE(messages.isEmpty()) << messages.join("\n").toStdString();

    // A file of the same caption chosen by its item, not by its caption.
    WriteLanguage("English.lng", Language("\"mnFile\"=\"New\"\n"));
    window.reset();
    Start("");
    ASSERT_EQ(LanguageItems()[0]->text(), "English");
    ASSERT_EQ(LanguageItems()[1]->text(), "English");
    ChooseLanguage(1);
    EXPECT_EQ(Menu("mnFile")->title(), "Old");
}

TEST_F(frmMainTest, RunStartsTheCurrentFileAndShowsAFailure) {
    Start(setupExe);
    Choose("mnFile", "mnFileRun");
    ASSERT_EQ(started.size(), 1);
    EXPECT_EQ(started[0], QStringList{QString::fromStdString(setupExe)});
    EXPECT_TRUE(messages.isEmpty());

    startResult = Status::IOError("setup.exe cannot be started.");
    Choose("mnFile", "mnFileRun");
    const QString file = QString::fromStdString(setupExe);
    EXPECT_EQ(messages, QStringList{Text(registry, msg::kRunFailed, {file})});

    // Without the seam: a file removed since it was examined is reported, not started.
    hooks.start = nullptr;
    ApplyHooks();
    std::filesystem::remove(setupExe);
    Choose("mnFile", "mnFileRun");
    ASSERT_EQ(messages.size(), 2);
    EXPECT_EQ(messages[1], Text(registry, msg::kRunMissing, {file}));
}

// The Settings item shows and sets the store's header setting; the current
// file's vector and its windows follow at once.
TEST_F(frmMainTest, TheHeaderItemTurnsTheHeaderAttributesOnAndOffInTheStore) {
    BuildAttributeNames(state);
    Start(setupExe);
    QAction* header = Item("mnHeader");
    ASSERT_TRUE(header->isCheckable());
    EXPECT_FALSE(header->isChecked());
    const std::int32_t without = state.AttributeCount;

    Choose("mnSettings", header);
    EXPECT_TRUE(header->isChecked());
    EXPECT_EQ(state.AttributeCount, ExampleSlotCount(state));
    EXPECT_GT(state.AttributeCount, without);
    EXPECT_EQ(calls["refreshAttributes"], 1);
    ConfigTables stored;
    ASSERT_TRUE(LoadConfigurationTables(registry, stored).ok());
    EXPECT_TRUE(stored.HeaderAttributes);

    Choose("mnSettings", header);
    EXPECT_FALSE(header->isChecked());
    EXPECT_EQ(state.AttributeCount, without);
    ASSERT_TRUE(LoadConfigurationTables(registry, stored).ok());
    EXPECT_FALSE(stored.HeaderAttributes);
}

TEST_F(frmMainTest, CloseAndClosingTheWindowEndTheProgram) {
    Start("");
    Choose("mnFile", "mnClose");
    EXPECT_EQ(endedPrograms, 1);
    window->close();
    EXPECT_EQ(endedPrograms, 2);
}

TEST_F(frmMainTest, AFileDroppedOnTheWindowIsOpened) {
    Start("");
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(otherExe))});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &drop);
    EXPECT_EQ(window->windowTitle(), "Morvel - other.com");
    EXPECT_TRUE(FileCommandsEnabled());

    QMimeData text;
    text.setText("not a file");
    QDragEnterEvent refused(QPoint(5, 5), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    refused.setAccepted(false);
    QApplication::sendEvent(window.get(), &refused);
    EXPECT_FALSE(refused.isAccepted());
}

TEST_F(frmMainTest, TheWindowIsAFixedTitleBarOverTheMenuBar) {
    Start("");
    EXPECT_EQ(window->minimumSize(), window->maximumSize());
    EXPECT_GE(window->width(), toolkit::Pixels(4575));
    EXPECT_GE(window->width(), window->menuBar()->sizeHint().width());
    EXPECT_LE(window->height() - window->menuBar()->height(), 2);
    EXPECT_FALSE(window->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_FALSE(window->windowIcon().isNull());
}

}  // namespace
}  // namespace morvel
