#include "ui/frmTest.h"

#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>
#include <iterator>

#include "ui/Messages.h"
#include "ui/toolkit.h"

namespace morvel {
namespace {

// The printed lines: a label and the slot whose value follows it; a null
// label stands for an empty line.
struct PrintedSlot {
    const char* label;
    int slot;
};
constexpr PrintedSlot kPrinted[] = {
    {"Size:", slot::kSizeClass},
    {"Extension:", slot::kExtension},
    {"Name length:", slot::kNameLength},
    {"First symbol:", slot::kFirstSymbol},
    {nullptr, 0},
    {"Latin:", slot::kHasLatinLetter},
    {"Russian:", slot::kHasRussianLetter},
    {"Cyfrs:", slot::kHasDigit},
    {"Special:", slot::kHasSpecialCharacter},
    {nullptr, 0},
    {"Day:", slot::kDay},
    {"Month:", slot::kMonth},
    {"Year:", slot::kYear},
    {"Weekday:", slot::kWeekday},
    {"Time:", slot::kTimeOfDay},
    {nullptr, 0},
    {"Type:", slot::kExecutableType},
    {"System:", slot::kSystemFlag},
};

constexpr int kPrintedLines = static_cast<int>(std::size(kPrinted));

}  // namespace

frmTest::frmTest(const Registry& registry, const ConfigTables& state, QWidget* parent)
    : QDialog(parent), registry_(registry), state_(state) {
    setObjectName("frmTest");
    setWindowTitle("Атрибуты EXE-файла");
    setWindowIcon(toolkit::ProgramIcon());
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(toolkit::Pixels(5595), toolkit::Pixels(4515));

    Label1 = new QLabel("Имя файла:", this);
    Label1->setObjectName("Label1");
    toolkit::PlaceTwips(*Label1, 120, 165, 900, 195);
    Label1->adjustSize();

    txtFN = new QLineEdit(this);
    txtFN->setObjectName("txtFN");
    toolkit::PlaceTwips(*txtFN, 1200, 120, 3375, 285);
    // A caption wider than its designed room moves the box's left edge
    // right, keeping a gap; the box keeps its right edge.
    const int left = std::max(txtFN->x(), Label1->geometry().right() + 1 + toolkit::Pixels(120));
    txtFN->setGeometry(left, txtFN->y(), txtFN->geometry().right() + 1 - left, txtFN->height());

    Command1 = new QPushButton("Тест", this);
    Command1->setObjectName("Command1");
    toolkit::PlaceTwips(*Command1, 4680, 120, 735, 255);
    Command1->setDefault(true);
    connect(Command1, &QPushButton::clicked, this, &frmTest::Command1_Click);

    // The output area: lines printed from its top left corner.
    pctTest = new QLabel(this);
    pctTest->setObjectName("pctTest");
    toolkit::PlaceTwips(*pctTest, 120, 600, 5295, 3735);
    pctTest->setTextFormat(Qt::PlainText);
    pctTest->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    pctTest->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    pctTest->setBackgroundRole(QPalette::Base);
    pctTest->setAutoFillBackground(true);
    pctTest->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // All eighteen lines fit in the area: a smaller font where the usual one
    // is too tall for it.
    QFont font = pctTest->font();
    const int room = pctTest->contentsRect().height() - 2 * pctTest->margin();
    while (font.pointSizeF() > 6 && QFontMetrics(font).lineSpacing() * kPrintedLines > room)
        font.setPointSizeF(font.pointSizeF() - 0.5);
    pctTest->setFont(font);
}

void frmTest::Print(const QString& line) {
    lines_ << line;
    pctTest->setText(lines_.join('\n'));
}

void frmTest::Command1_Click() {
    lines_.clear();
    pctTest->clear();
    if (const QString refused = StoreFileText(registry_, txtFN->text()); !refused.isEmpty())
        return toolkit::ShowMessage(this, refused);
    if (!examiner_.ComputeFileAttributes(txtFN->text().toStdString(), state_)) return;
    for (const PrintedSlot& p : kPrinted)
        Print(p.label ? QString("%1 %2").arg(p.label).arg(examiner_.AttributeVector()[p.slot]) : QString());
}

}  // namespace morvel
