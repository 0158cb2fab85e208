// frmAdvAttr: the editor of the search sequences, the texts whose presence in
// a file's contents make up the advanced attributes.
//
// The user adds, deletes and rewrites rows of a working list, which starts as
// the program's sequence table at each opening and may hold empty rows and
// repeats. OK drops those and makes the rest the sequence table, in memory
// and in the store at once; Cancel, Esc and the title bar's close box throw
// the working list away.
//
// One instance per running program, created on first use. Used on the
// user-interface thread; registry and state outlive the window.
#pragma once

#include <QDialog>
#include <QString>
#include <string>
#include <vector>

#include "core/config/ConfigTables.h"
#include "core/platform/Status.h"
#include "core/store/Registry.h"

class QGroupBox;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace morvel {

class frmAdvAttr : public QDialog {
    Q_OBJECT

  public:
    frmAdvAttr(Registry& registry, ConfigTables& state, QWidget* parent = nullptr);

    // Loads the window (captions, the working list from the sequence table, an
    // empty edit box) and shows it modally. Returns once it is closed: true
    // when OK stored a new sequence table.
    bool ShowModal();

    // Refills List1 from the sequence table.
    void UpdateList();

    // Makes the distinct non-empty rows of List1, in list order, the sequence
    // table (of rows that differ only in letter case the first one wins) and
    // stores it: "Count" and Value1 ... in one write group. On failure (more
    // than 100 such rows, or a failed write) the table, the store and the list
    // stay as they were and the result says why.
    Status UpdateFindAtrs();

    // The prompt of the add command's input box.
    static constexpr const char* kAddPrompt = "Добавление новой последовательности";

    // Commands: delete the selected row, add a row, OK, Cancel.
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    // A row was selected: the edit box shows it.
    void List1_Click();
    // The edit box changed: the selected row, if any, takes its text.
    void Text1_Change();

  private:
    void Form_Load();
    // Why rows cannot be the sequence table (in the interface's words, one
    // line per refused row), or an empty text when they can.
    QString RefusalOf(const std::vector<std::string>& rows) const;
    // The row selected in List1, or -1.
    int SelectedRow() const;

    Registry& registry_;
    ConfigTables& state_;

    QGroupBox* Frame1 = nullptr;
    QListWidget* List1 = nullptr;
    QLineEdit* Text1 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    QPushButton* Command3 = nullptr;
    QPushButton* Command4 = nullptr;
};

}  // namespace morvel
