// prpTarget: the properties dialog of one target attribute (identifier, name,
// classification method), opened modally by the target editor both to add a
// target and to change one.
//
// It takes the values to show when it is built and gives back the values of
// its boxes after OK (Result). Each opening is a new dialog. Used on the
// user-interface thread; the registry outlives the dialog.
#pragma once

#include <QDialog>

#include "core/config/ConfigTables.h"
#include "core/store/Registry.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace morvel {

class prpTarget : public QDialog {
    Q_OBJECT

  public:
    // Builds and loads the dialog: the captions, the boxes filled from target
    // (a method spelled otherwise than one of the list selects none), the
    // identifier box enabled only when idEditable.
    prpTarget(const Registry& registry, const TargetEntry& target, bool idEditable,
              QWidget* parent = nullptr);

    // Whether OK closed the dialog; false until then.
    bool Accepted() const { return accepted_; }
    // After OK: the boxes' values (an empty method when none is chosen).
    // Otherwise the values the dialog was given.
    const TargetEntry& Result() const { return result_; }

    // OK: takes the boxes' values and closes. Cancel closes.
    void Command3_Click();
    void Command4_Click();

  private:
    void Form_Load(bool idEditable);

    const Registry& registry_;
    TargetEntry result_;
    bool accepted_ = false;

    QLabel* Label1 = nullptr;
    QLineEdit* Text1 = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* Text2 = nullptr;
    QLabel* Label3 = nullptr;
    QComboBox* Combo1 = nullptr;
    QPushButton* Command3 = nullptr;
    QPushButton* Command4 = nullptr;
};

}  // namespace morvel
