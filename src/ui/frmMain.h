// frmMain: the program's main window, a title bar over a menu bar. The title
// names the file under examination; the menus choose another file, open the
// other windows for it, start it, switch the interface language and show
// information about the program. Closing it ends the program.
//
// One instance per running program, on the user-interface thread. It reads and
// changes the program-wide state it is given (CurrentFile, AttributesValid)
// and examines files with the given examiner; all three outlive the window.
#pragma once

#include <QMainWindow>
#include <vector>

#include "core/attributes/FileExaminer.h"
#include "core/config/ConfigTables.h"
#include "core/store/Registry.h"
#include "ui/ProgramWindows.h"

class QAction;
class QMenu;

namespace morvel {

class frmMain : public QMainWindow {
    Q_OBJECT

  public:
    // Builds the window and runs its loading: the language list, the title,
    // the menu texts from the store and, when tables.AttributesValid is true,
    // the classification command. The other windows are opened through
    // windows, which outlives this one.
    frmMain(Registry& registry, ConfigTables& tables, FileExaminer& examiner, ProgramWindows& windows,
            QWidget* parent = nullptr);
    ~frmMain() override;

    // Sets the title from CurrentFile and enables the file commands while
    // AttributesValid is true.
    void RefreshCaption();
    // Reloads the menu captions from the "\Interface" key.
    void UpdateInterface();

    // The filter list of the open dialog, in order; the first is preselected.
    static QStringList OpenFilters();

    // Menu commands.
    void mnOpen_Click();
    void mnReview_Click();
    void mnFileAttr_Click();
    void mnFileClass_Click();
    void mnFileRun_Click();
    void mnClose_Click();
    void mnAdvanced_Click();
    void mnTarget_Click();
    void mnHeader_Click();
    void mnAbout_Click();
    void mnSysInfo_Click();
    void mnLang_Click(int Index);

    // Open's work after the dialog: examines path and takes it as the current
    // file when that succeeds; otherwise the previous file stays named, the
    // file commands are disabled and a message says why. One of the store's
    // own files is refused unopened, with a message, and nothing changes. Also used for a file
    // dropped on the window.
    void OpenFile(const QString& path);
    // A file the review window chose: opened as Open would, then classified.
    // While a classification window is open it is only brought to the
    // front, so that the values the user is giving stay with their file.
    void ClassifyFromReview(const QString& path);

  protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    void Form_Load();
    void BuildMenus();
    void ListLanguages();
    void FitWidth();
    // Examines the current file again (after the sequence table changed) and
    // shows the new vector in an open attributes window.
    void ReexamineCurrentFile();

    Registry& registry_;
    ConfigTables& state_;
    FileExaminer& examiner_;
    ProgramWindows& windows_;
    bool opening_ = false;

    QMenu* mnFile = nullptr;
    QAction* mnOpen = nullptr;
    QAction* mnReview = nullptr;
    QAction* mn1 = nullptr;
    QAction* mnFileAttr = nullptr;
    QAction* mnFileClass = nullptr;
    QAction* mnFileRun = nullptr;
    QAction* mn2 = nullptr;
    QAction* mnClose = nullptr;
    QMenu* mnSettings = nullptr;
    QAction* mnAdvanced = nullptr;
    QAction* mnTarget = nullptr;
    QAction* mnHeader = nullptr;
    QMenu* mnInterface = nullptr;
    std::vector<QAction*> mnLang;
    QMenu* mnInfo = nullptr;
    QAction* mnAbout = nullptr;
    QAction* mnSysInfo = nullptr;
};

}  // namespace morvel
