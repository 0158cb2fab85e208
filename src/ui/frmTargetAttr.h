// frmTargetAttr: the editor of the target attributes, the classes the program
// predicts for a file. It lists the targets (identifier and name) and adds,
// deletes and changes them, the last through the properties dialog prpTarget.
//
// It works on the program's target table in place, so every change is in
// effect at once; Close writes the whole table to the store in one write
// group. Closing it any other way keeps the changes for this run without
// storing them.
//
// One instance per running program, created on first use and kept: the
// exchange fields (PTId ... PTOK), through which the editor and prpTarget pass
// one target back and forth, outlive each opening. Used on the user-interface
// thread; registry and state outlive the window.
#pragma once

#include <QDialog>
#include <QString>

#include "core/store/Registry.h"
#include "core/store/modMain.h"

class QGroupBox;
class QListWidget;
class QPushButton;

namespace morvel {

class frmTargetAttr : public QDialog {
    Q_OBJECT

  public:
    frmTargetAttr(Registry& registry, modMain& state, QWidget* parent = nullptr);

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

    // Exchange fields shared with prpTarget. They start empty and false, and
    // neither closing the editor nor adding a target clears them.
    QString PTId;
    QString PTName;
    QString PTMethod;
    bool PTEnabled = false;  // whether prpTarget lets the identifier be changed
    bool PTOK = false;       // set by prpTarget: false when it opens, true on its OK

  private:
    void Form_Load();
    // Runs prpTarget on the exchange fields and waits until it is closed.
    void ShowProperties();
    // The row selected in List1, or -1.
    int SelectedRow() const;

    Registry& registry_;
    modMain& state_;

    QGroupBox* Frame1 = nullptr;
    QListWidget* List1 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    QPushButton* Command5 = nullptr;
    QPushButton* Command3 = nullptr;
};

}  // namespace morvel
