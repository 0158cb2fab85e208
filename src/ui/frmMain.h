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
#include <QPointer>
#include <functional>
#include <vector>

#include "core/attributes/FileExaminer.h"
#include "core/store/Registry.h"
#include "core/store/modMain.h"

class QAction;
class QDialog;
class QMenu;

namespace morvel {

class frmAbout;

class frmMain : public QMainWindow {
    Q_OBJECT

  public:
    // The windows that the menus open. Each is one program-wide instance,
    // created on first use; an operation left unset opens an empty placeholder
    // window with the window's caption.
    struct Windows {
        std::function<void()> showAttributes;      // the attributes window, not modal
        std::function<void()> unloadAttributes;    // closes it if it is loaded
        std::function<void()> reloadAttributes;    // runs its loading again (after a language change)
        std::function<void()> showClassification;  // the classification window, not modal
        std::function<bool()> showAdvAttr;         // the search-sequence editor, modal: true when
                                                   // it stored a new sequence table
        std::function<void()> showTargetAttr;      // the target attribute editor, modal
    };

    // Builds the window and runs its loading: the language list, the title,
    // the menu texts from the store and, when state.AttributesValid is true,
    // the classification command.
    frmMain(Registry& registry, modMain& state, FileExaminer& examiner, Windows windows = {},
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
    void mnFileAttr_Click();
    void mnFileClass_Click();
    void mnFileRun_Click();
    void mnClose_Click();
    void mnAdvanced_Click();
    void mnTarget_Click();
    void mnAbout_Click();
    void mnSysInfo_Click();
    void mnLang_Click(int Index);

    // Open's work after the dialog: examines path and takes it as the current
    // file when that succeeds; otherwise the previous file stays named and the
    // file commands are disabled. Also used for a file dropped on the window.
    void OpenFile(const QString& path);

  protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    void Form_Load();
    void BuildMenus();
    void ListLanguages();
    void FitWidth();
    frmAbout& About();
    void ShowPlaceholder(QPointer<QDialog>& window, const char* name, const QString& caption, bool modal);

    Registry& registry_;
    modMain& state_;
    FileExaminer& examiner_;
    Windows windows_;
    bool opening_ = false;

    QMenu* mnFile = nullptr;
    QAction* mnOpen = nullptr;
    QAction* mn1 = nullptr;
    QAction* mnFileAttr = nullptr;
    QAction* mnFileClass = nullptr;
    QAction* mnFileRun = nullptr;
    QAction* mn2 = nullptr;
    QAction* mnClose = nullptr;
    QMenu* mnSettings = nullptr;
    QAction* mnAdvanced = nullptr;
    QAction* mnTarget = nullptr;
    QMenu* mnInterface = nullptr;
    std::vector<QAction*> mnLang;
    QMenu* mnInfo = nullptr;
    QAction* mnAbout = nullptr;
    QAction* mnSysInfo = nullptr;

    QPointer<frmAbout> about_;
    QPointer<QDialog> attributesPlaceholder_;
    QPointer<QDialog> classPlaceholder_;
    QPointer<QDialog> advAttrPlaceholder_;
    QPointer<QDialog> targetAttrPlaceholder_;
};

}  // namespace morvel
