#include "ui/frmAdvAttr.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <string>
#include <vector>

#include "core/config/ConfigTables.h"
#include "core/store/KeyPaths.h"
#include "ui/Captions.h"
#include "ui/Messages.h"
#include "ui/toolkit.h"

namespace morvel {
namespace {

using toolkit::PlaceTwips;

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    return button;
}

}  // namespace

frmAdvAttr::frmAdvAttr(Registry& registry, ConfigTables& state, QWidget* parent)
    : QDialog(parent), registry_(registry), state_(state) {
    setObjectName("frmAdvAttr");
    setWindowTitle("Настройка дополнительных атрибутов");
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(toolkit::Pixels(5895), toolkit::Pixels(4440));

    Frame1 = new QGroupBox("Список последовательностей для поиска", this);
    Frame1->setObjectName("Frame1");
    PlaceTwips(*Frame1, 120, 120, 5655, 3690);

    List1 = new QListWidget(Frame1);
    List1->setObjectName("List1");
    List1->setSelectionMode(QAbstractItemView::SingleSelection);
    PlaceTwips(*List1, 120, 300, 3975, 2805);

    Text1 = new QLineEdit(Frame1);
    Text1->setObjectName("Text1");
    PlaceTwips(*Text1, 120, 3225, 3975, 330);

    Command1 = MakeButton(Frame1, "Command1", "Удалить");
    PlaceTwips(*Command1, 4215, 300, 1320, 375);
    Command2 = MakeButton(Frame1, "Command2", "Добавить");
    PlaceTwips(*Command2, 4215, 780, 1320, 375);

    Command3 = MakeButton(this, "Command3", "ОК");  // Cyrillic О and К
    Command3->setDefault(true);
    PlaceTwips(*Command3, 3000, 3930, 1320, 375);
    Command4 = MakeButton(this, "Command4", "Отмена");
    PlaceTwips(*Command4, 4455, 3930, 1320, 375);

    toolkit::SelectFirstOnArrow(*List1);

    setTabOrder(List1, Command1);
    setTabOrder(Command1, Command2);
    setTabOrder(Command2, Text1);
    setTabOrder(Text1, Command3);
    setTabOrder(Command3, Command4);

    connect(Command1, &QPushButton::clicked, this, &frmAdvAttr::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &frmAdvAttr::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &frmAdvAttr::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &frmAdvAttr::Command4_Click);
    connect(List1, &QListWidget::itemSelectionChanged, this, &frmAdvAttr::List1_Click);
    // Every change, typed or set: selecting a row writes its own text back, harmlessly.
    connect(Text1, &QLineEdit::textChanged, this, &frmAdvAttr::Text1_Change);
    // Esc and the title bar's close box reach QDialog::reject(), which closes
    // the window as Cancel does.
}

bool frmAdvAttr::ShowModal() {
    Form_Load();
    toolkit::PlaceNear(*this, parentWidget());
    List1->setFocus();
    return exec() == QDialog::Accepted;
}

void frmAdvAttr::Form_Load() {
    ApplyCaption(registry_, this, "CustomizeAdvanced");
    ApplyCaption(registry_, Frame1, "SequencesList");
    ApplyCaption(registry_, Command1, "ButtonDelete");
    ApplyCaption(registry_, Command2, "ButtonAdd");
    ApplyCaption(registry_, Command3, "ButtonOK");
    ApplyCaption(registry_, Command4, "ButtonCancel");
    UpdateList();
    Text1->clear();
}

void frmAdvAttr::UpdateList() {
    List1->clear();
    for (int i = 1; i <= state_.SequenceCount; ++i)
        List1->addItem(QString::fromStdString(state_.SequenceTable[i]));
    List1->setCurrentRow(-1);
}

int frmAdvAttr::SelectedRow() const {
    const QList<QListWidgetItem*> selected = List1->selectedItems();
    if (selected.isEmpty()) return -1;
    return List1->row(selected.first());
}

Status frmAdvAttr::UpdateFindAtrs() {
    std::vector<std::string> rows;
    rows.reserve(static_cast<std::size_t>(List1->count()));
    for (int r = 0; r < List1->count(); ++r) rows.push_back(List1->item(r)->text().toStdString());
    return SaveSequenceTable(registry_, state_, rows);
}

QString frmAdvAttr::RefusalOf(const std::vector<std::string>& rows) const {
    const auto sequences = DistinctSequences(rows);
    if (sequences.size() > static_cast<std::size_t>(ConfigTables::kMaxSequences))
        return Text(registry_, msg::kTooManySequences,
                    {QString::number(ConfigTables::kMaxSequences), QString::number(sequences.size())});
    // Every refused row at once, so that one OK shows all there is to mend.
    QStringList refused;
    for (const auto& row : sequences) {
        const QString why = CannotHoldText(registry_, Text(registry_, msg::kFieldSequence),
                                           QString::fromStdString(row), kMaxSequenceBytes);
        if (!why.isEmpty()) refused << why;
    }
    return refused.join('\n');
}

void frmAdvAttr::Command1_Click() {
    const int row = SelectedRow();
    if (row < 0) return;
    delete List1->takeItem(row);
    List1->setCurrentRow(-1);
    // No row is selected: the edit box shows none.
    Text1->clear();
}

void frmAdvAttr::Command2_Click() {
    // Taken exactly as typed: a text of blanks is a sequence too.
    const QString text = toolkit::InputBox(this, kAddPrompt, toolkit::kProgramTitle, QString());
    if (text.isEmpty()) return;
    List1->addItem(text);
    // The new row is the last, often below the visible rows: brought into sight and selected.
    toolkit::SelectRow(*List1, List1->count() - 1);
}

void frmAdvAttr::Command3_Click() {
    // The window stays open with the working list as it is when the list is
    // refused (too long, or a text the store cannot hold) or the save fails.
    std::vector<std::string> rows;
    for (int r = 0; r < List1->count(); ++r) rows.push_back(List1->item(r)->text().toStdString());
    if (const QString refused = RefusalOf(rows); !refused.isEmpty()) {
        toolkit::ShowMessage(this, Text(registry_, msg::kSequencesNotSaved) + "\n\n" + refused);
        return;
    }
    if (const Status saved = UpdateFindAtrs(); !saved) {
        toolkit::ShowMessage(
            this, Text(registry_, msg::kSequencesNotSaved) + "\n\n" + ReasonText(registry_, saved));
        return;
    }
    accept();
}

void frmAdvAttr::Command4_Click() { reject(); }

void frmAdvAttr::List1_Click() {
    const int row = SelectedRow();
    if (row >= 0) Text1->setText(List1->item(row)->text());
}

void frmAdvAttr::Text1_Change() {
    const int row = SelectedRow();
    if (row >= 0) List1->item(row)->setText(Text1->text());
}

}  // namespace morvel
