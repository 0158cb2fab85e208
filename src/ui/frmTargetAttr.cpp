#include "ui/frmTargetAttr.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QGroupBox>
#include <QListWidget>
#include <QPushButton>
#include <algorithm>
#include <set>
#include <tuple>
#include <utility>

#include "core/config/ConfigTables.h"
#include "core/platform/CodePage.h"
#include "core/store/KeyPaths.h"
#include "ui/Captions.h"
#include "ui/Messages.h"
#include "ui/prpTarget.h"
#include "ui/toolkit.h"

namespace morvel {
namespace {

using toolkit::PlaceTwips;

// The name of a target begins in this column of its list row.
constexpr int kNameColumn = 21;

// Lucida Console 8.25 pt, so that the names line up; where it is not
// installed, the system's fixed-pitch font at that size. Some desktops' usual
// monospace family (Noto Sans Mono, which holds a few double-width glyphs) is
// not strictly fixed-pitch; then the first installed family that is.
QFont ListFont() {
    QFont font("Lucida Console");
    font.setPointSizeF(8.25);
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    if (QFontInfo(font).fixedPitch()) return font;
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixed.setPointSizeF(8.25);
    if (QFontInfo(fixed).fixedPitch()) return fixed;
    for (const QString& family : QFontDatabase::families()) {
        if (!QFontDatabase::isFixedPitch(family)) continue;
        QFont candidate(family);
        candidate.setPointSizeF(8.25);
        if (QFontInfo(candidate).fixedPitch()) return candidate;
    }
    return fixed;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    return button;
}

}  // namespace

frmTargetAttr::frmTargetAttr(Registry& registry, ConfigTables& state, QWidget* parent)
    : QDialog(parent), registry_(registry), state_(state) {
    setObjectName("frmTargetAttr");
    setWindowTitle("Настройка целевых атрибутов");
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(toolkit::Pixels(6615), toolkit::Pixels(4110));

    Frame1 = new QGroupBox("Список целевых атрибутов", this);
    Frame1->setObjectName("Frame1");
    PlaceTwips(*Frame1, 120, 120, 6375, 3360);

    List1 = new QListWidget(Frame1);
    List1->setObjectName("List1");
    List1->setSelectionMode(QAbstractItemView::SingleSelection);
    List1->setFont(ListFont());
    PlaceTwips(*List1, 120, 300, 4695, 2925);

    Command1 = MakeButton(Frame1, "Command1", "Добавить");
    PlaceTwips(*Command1, 4935, 300, 1320, 375);
    Command2 = MakeButton(Frame1, "Command2", "Удалить");
    PlaceTwips(*Command2, 4935, 780, 1320, 375);
    Command5 = MakeButton(Frame1, "Command5", "Свойства");
    PlaceTwips(*Command5, 4935, 1260, 1320, 375);

    Command3 = MakeButton(this, "Command3", "Закрыть");
    Command3->setDefault(true);
    PlaceTwips(*Command3, 5175, 3600, 1320, 375);

    toolkit::SelectFirstOnArrow(*List1);

    setTabOrder(List1, Command1);
    setTabOrder(Command1, Command2);
    setTabOrder(Command2, Command5);
    setTabOrder(Command5, Command3);

    connect(Command1, &QPushButton::clicked, this, &frmTargetAttr::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &frmTargetAttr::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &frmTargetAttr::Command3_Click);
    connect(Command5, &QPushButton::clicked, this, &frmTargetAttr::Command5_Click);
    // Esc and the title bar's close box reach QDialog::reject(): the window
    // closes, the changes stay in the table for this run, nothing is stored.
}

void frmTargetAttr::ShowModal() {
    Form_Load();
    toolkit::PlaceNear(*this, parentWidget());
    List1->setFocus();
    exec();
}

void frmTargetAttr::Form_Load() {
    ApplyCaption(registry_, this, "CustomizeTarget");
    ApplyCaption(registry_, Frame1, "TargetList");
    ApplyCaption(registry_, Command1, "ButtonAdd");
    ApplyCaption(registry_, Command2, "ButtonDelete");
    ApplyCaption(registry_, Command3, "ButtonClose");
    ApplyCaption(registry_, Command5, "ButtonProp");
    UpdateList();
}

QString frmTargetAttr::ListRow(const QString& id, const QString& name) {
    // Characters, not UTF-16 units, so that a character outside the basic
    // plane takes one column as it does on screen.
    const int length = static_cast<int>(id.toUcs4().size());
    return id + QString(std::max(1, kNameColumn - 1 - length), ' ') + name;
}

void frmTargetAttr::UpdateList() {
    List1->clear();
    for (int p = 1; p <= state_.TargetCount; ++p) {
        const TargetEntry& target = state_.TargetTable[p];
        List1->addItem(ListRow(QString::fromStdString(target.Id), QString::fromStdString(target.Name)));
    }
    List1->setCurrentRow(-1);
    Command1->setEnabled(state_.TargetCount < ConfigTables::kMaxTargets);
}

int frmTargetAttr::SelectedRow() const {
    const QList<QListWidgetItem*> selected = List1->selectedItems();
    if (selected.isEmpty()) return -1;
    return List1->row(selected.first());
}

bool frmTargetAttr::ShowProperties(bool idEditable) {
    prpTarget dialog(registry_, properties_, idEditable, this);
    dialog.exec();
    if (dialog.Accepted()) properties_ = dialog.Result();
    return dialog.Accepted();
}

void frmTargetAttr::Command1_Click() {
    // The table is full: the button is disabled then, and a click that comes
    // anyway changes nothing.
    if (state_.TargetCount >= ConfigTables::kMaxTargets) return toolkit::Beep();
    if (!ShowProperties(true)) return;
    ++state_.TargetCount;
    state_.TargetTable[state_.TargetCount] = properties_;
    UpdateList();
    // The new row is the last, often below the visible rows: brought into sight and selected.
    toolkit::SelectRow(*List1, state_.TargetCount - 1);
}

void frmTargetAttr::Command2_Click() {
    const int row = SelectedRow();
    if (row < 0 || row >= state_.TargetCount) return toolkit::Beep();
    auto first = state_.TargetTable.begin() + row + 1;
    auto end = state_.TargetTable.begin() + state_.TargetCount + 1;
    std::move(first + 1, end, first);
    state_.TargetTable[state_.TargetCount] = {};
    --state_.TargetCount;
    UpdateList();
}

void frmTargetAttr::Command5_Click() {
    const int row = SelectedRow();
    if (row < 0 || row >= state_.TargetCount) return toolkit::Beep();
    TargetEntry& target = state_.TargetTable[row + 1];
    properties_ = target;
    // After a cancel properties_ still holds the target.
    ShowProperties(false);
    target = properties_;
    UpdateList();
}

void frmTargetAttr::Command3_Click() {
    // The window stays open with the table as it is, so that nothing is lost:
    // when a text cannot be stored (a table read from a hand-edited store) or
    // the save fails.
    for (const TargetEntry& target : TargetList(state_)) {
        for (const auto& [field, text, most] :
             {std::tuple{msg::kFieldTargetId, &target.Id, kMaxTargetIdBytes},
              std::tuple{msg::kFieldTargetName, &target.Name, Registry::kMaxValueBytes}}) {
            const QString refused = CannotHoldText(registry_, morvel::Text(registry_, field),
                                                   QString::fromStdString(*text), most);
            if (refused.isEmpty()) continue;
            toolkit::ShowMessage(this, morvel::Text(registry_, msg::kTargetsNotSaved) + "\n\n" + refused);
            return;
        }
    }
    // Two targets with one identifier are allowed, but the examples would keep
    // both values under one name (names compare without regard to case).
    std::set<std::string> ids;
    for (const TargetEntry& target : TargetList(state_)) {
        if (ids.insert(codepage::LoweredAnsi(target.Id)).second) continue;
        if (!toolkit::AskYesNo(
                this, morvel::Text(registry_, msg::kDuplicateTargetId, {QString::fromStdString(target.Id)})))
            return;
        break;
    }
    const Status saved = SaveTargetTable(registry_, state_, TargetList(state_));
    if (!saved) {
        toolkit::ShowMessage(
            this, morvel::Text(registry_, msg::kTargetsNotSaved) + "\n\n" + ReasonText(registry_, saved));
        return;
    }
    accept();
}

}  // namespace morvel
