// frmTargetAttr: the editor of the target attributes, the classes the program
// predicts for a file. It lists the targets (identifier and name) and adds,
// deletes and changes them, the last through the properties dialog prpTarget.
//
// It works on the program's target table in place, so every change is in
// effect at once; Close writes the whole table to the store in one write
// group. Closing it any other way keeps the changes for this run without
// storing them.
//
// One instance per running program, created on first use and kept. The
// properties dialog opens with the values it last showed (an added target's,
// or the target last changed), also for adding, and those outlive each
// opening. Used on the user-interface thread; registry and tables outlive the
// window.
#pragma once

#include <QDialog>
#include <QString>

#include "core/config/ConfigTables.h"
#include "core/store/Registry.h"

class QGroupBox;
class QListWidget;
class QPushButton;

namespace morvel {

class frmTargetAttr : public QDialog {
    Q_OBJECT

  public:
    frmTargetAttr(Registry& registry, ConfigTables& state, QWidget* parent = nullptr);

    // Loads the window (captions, list) and shows it modally; returns once it
    // is closed.
    void ShowModal();

    // Refills List1 from the target table; no row is selected afterwards. The
    // add command is enabled while the table has room for another target.
    void UpdateList();

    // The list row of a target: the identifier, spaces up to column 21 (at
    // least one), then the name.
    static QString ListRow(const QString& id, const QString& name);

    // Commands: add, delete, close (saves), properties.
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command5_Click();

  private:
    void Form_Load();
    // Runs prpTarget on properties_ and waits until it is closed; after OK
    // properties_ holds its values. Returns whether OK closed it.
    bool ShowProperties(bool idEditable);
    // The row selected in List1, or -1.
    int SelectedRow() const;

    Registry& registry_;
    ConfigTables& state_;
    // What the properties dialog shows when it opens next.
    TargetEntry properties_;

    QGroupBox* Frame1 = nullptr;
    QListWidget* List1 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    QPushButton* Command5 = nullptr;
    QPushButton* Command3 = nullptr;
};

}  // namespace morvel
