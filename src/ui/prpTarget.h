// prpTarget: the properties dialog of one target attribute (identifier, name,
// classification method), opened modally by the target editor both to add a
// target and to change one.
//
// It keeps no data of its own: it loads its boxes from the editor's exchange
// fields when it is built, and its OK writes the boxes back into them and sets
// PTOK. Each opening is a new dialog. Nothing is validated: what the editor
// does with the values is its business. Used on the user-interface thread;
// registry and editor outlive the dialog.
#pragma once

#include <QDialog>

#include "core/store/Registry.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace morvel {

class frmTargetAttr;

class prpTarget : public QDialog {
    Q_OBJECT

  public:
    // Builds and loads the dialog: the captions, the identifier box enabled
    // only when editor.PTEnabled is true, the boxes filled from PTId, PTName
    // and PTMethod, and PTOK set to false.
    prpTarget(Registry& registry, frmTargetAttr& editor, QWidget* parent = nullptr);

    // OK: copies the boxes into PTId, PTName and PTMethod (an empty method when
    // none is chosen), sets PTOK and closes. Cancel closes, leaving the fields.
    void Command3_Click();
    void Command4_Click();

  private:
    void Form_Load();

    Registry& registry_;
    frmTargetAttr& editor_;

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
