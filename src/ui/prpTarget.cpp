#include "ui/prpTarget.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <tuple>

#include "core/classify/ClassificationMethods.h"
#include "core/config/ConfigTables.h"
#include "core/store/KeyPaths.h"
#include "ui/Captions.h"
#include "ui/Messages.h"
#include "ui/toolkit.h"

namespace morvel {
namespace {

using toolkit::PlaceTwips;

template <typename T>
T* Make(QWidget* parent, const char* name) {
    auto* widget = new T(parent);
    widget->setObjectName(name);
    return widget;
}

}  // namespace

prpTarget::prpTarget(const Registry& registry, const TargetEntry& target, bool idEditable, QWidget* parent)
    : QDialog(parent), registry_(registry), result_(target) {
    setObjectName("prpTarget");
    setWindowTitle("Свойства целевого атрибута");
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(toolkit::Pixels(4815), toolkit::Pixels(3090));

    // Each label sits above its box, so that a longer caption never covers it.
    Label1 = Make<QLabel>(this, "Label1");
    Label1->move(toolkit::Pixels(240), toolkit::Pixels(210));
    Text1 = Make<QLineEdit>(this, "Text1");
    PlaceTwips(*Text1, 240, 450, 4335, 330);
    Label2 = Make<QLabel>(this, "Label2");
    Label2->move(toolkit::Pixels(240), toolkit::Pixels(900));
    Text2 = Make<QLineEdit>(this, "Text2");
    PlaceTwips(*Text2, 240, 1140, 4335, 330);
    Label3 = Make<QLabel>(this, "Label3");
    Label3->move(toolkit::Pixels(240), toolkit::Pixels(1590));
    Combo1 = Make<QComboBox>(this, "Combo1");
    PlaceTwips(*Combo1, 240, 1830, 4335, 330);
    // The names the table of methods stores; never translated.
    for (const ClassificationMethod* method : ClassificationMethods())
        Combo1->addItem(QString::fromUtf8(method->name.data(), static_cast<qsizetype>(method->name.size())));
    SetCaption(Label1, "Идентификатор:");
    SetCaption(Label2, "Название:");
    SetCaption(Label3, "Метод:");

    Command3 = Make<QPushButton>(this, "Command3");
    Command3->setText("ОК");  // Cyrillic О and К
    Command3->setDefault(true);
    PlaceTwips(*Command3, 1920, 2520, 1215, 375);
    Command4 = Make<QPushButton>(this, "Command4");
    Command4->setText("Отмена");
    PlaceTwips(*Command4, 3360, 2520, 1215, 375);

    setTabOrder(Text1, Text2);
    setTabOrder(Text2, Combo1);
    setTabOrder(Combo1, Command3);
    setTabOrder(Command3, Command4);

    connect(Command3, &QPushButton::clicked, this, &prpTarget::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &prpTarget::Command4_Click);
    // Esc and the title bar's close box reach QDialog::reject(), which closes
    // the dialog as Cancel does.

    Form_Load(idEditable);
}

void prpTarget::Form_Load(bool idEditable) {
    ApplyCaption(registry_, this, "TargetProp");
    ApplyCaption(registry_, Label1, "TargetID");
    ApplyCaption(registry_, Label2, "TargetName");
    ApplyCaption(registry_, Label3, "TargetMethod");
    ApplyCaption(registry_, Command3, "ButtonOK");
    ApplyCaption(registry_, Command4, "ButtonCancel");

    Text1->setEnabled(idEditable);
    Text1->setText(QString::fromStdString(result_.Id));
    Text2->setText(QString::fromStdString(result_.Name));
    // Exact match only: a method spelled any other way selects nothing.
    Combo1->setCurrentIndex(
        Combo1->findText(QString::fromStdString(result_.Method), Qt::MatchExactly | Qt::MatchCaseSensitive));

    // The first box that can be edited has the focus.
    (idEditable ? Text1 : Text2)->setFocus();
}

void prpTarget::Command3_Click() {
    // A text the store cannot hold is refused here, where it can be mended:
    // the dialog stays open with the boxes as they are.
    for (const auto& [field, box, most] :
         {std::tuple{msg::kFieldTargetId, Text1, kMaxTargetIdBytes},
          std::tuple{msg::kFieldTargetName, Text2, Registry::kMaxValueBytes}}) {
        const QString refused = CannotHoldText(registry_, Text(registry_, field), box->text(), most);
        if (refused.isEmpty()) continue;
        toolkit::ShowMessage(this, refused);
        box->setFocus();
        return;
    }
    result_ = {Text1->text().toStdString(), Text2->text().toStdString(),
               Combo1->currentIndex() >= 0 ? Combo1->currentText().toStdString() : std::string()};
    accepted_ = true;
    Command4_Click();
}

void prpTarget::Command4_Click() { close(); }

}  // namespace morvel
