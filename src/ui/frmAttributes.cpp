#include "ui/frmAttributes.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCollator>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <algorithm>

#include "core/attributes/SequenceSearch.h"
#include "core/store/KeyPaths.h"
#include "ui/Captions.h"
#include "ui/HeaderTexts.h"
#include "ui/Messages.h"
#include "ui/PathBox.h"
#include "ui/toolkit.h"

namespace morvel {
namespace {

using toolkit::PlaceTwips;

constexpr int kClientWidth = 5535;
constexpr int kClientHeight = 6135;
// The header attributes' frame, below the others while they are on; the
// window grows by its height and Close moves below it.
constexpr int kHeaderFrameTop = 5640;
constexpr int kHeaderFrameHeight = 3000;
constexpr int kFrameLeft = 120;
constexpr int kFrameWidth = 5295;
// Between a frame's edge and the controls in it.
constexpr int kFrameMargin = 120;

QString Q(const std::string& text) { return QString::fromStdString(text); }

// Inserts text into list where a person reading it would look for it:
// letter case ignored, by the user's language.
void AddSorted(QListWidget& list, const QString& text) {
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    int low = 0;
    int high = list.count();
    while (low < high) {
        const int mid = (low + high) / 2;
        if (collator.compare(list.item(mid)->text(), text) <= 0) {
            low = mid + 1;
        } else {
            high = mid;
        }
    }
    list.insertItem(low, text);
}

}  // namespace

frmAttributes::frmAttributes(Registry& registry, const ConfigTables& state, const FileExaminer& examiner,
                             QWidget* parent)
    : QDialog(parent), registry_(registry), state_(state), examiner_(examiner) {
    setObjectName("frmAttributes");
    setWindowIcon(toolkit::ProgramIcon());
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(toolkit::Pixels(kClientWidth), toolkit::Pixels(kClientHeight));
    BuildControls();
    Form_Load();
}

void frmAttributes::BuildControls() {
    auto frame = [this](QGroupBox*& box, const char* name, int left, int top, int width, int height) {
        box = new QGroupBox(this);
        box->setObjectName(name);
        PlaceTwips(*box, left, top, width, height);
    };
    auto label = [](QLabel*& l, QWidget* parent, const char* name, int top) {
        l = new QLabel(parent);
        l->setObjectName(name);
        l->setTextFormat(Qt::PlainText);
        l->move(toolkit::Pixels(240), toolkit::Pixels(top));
    };
    auto check = [](QCheckBox*& c, QWidget* parent, const char* name, int top) {
        c = new QCheckBox(parent);
        c->setObjectName(name);
        PlaceTwips(*c, 3720, top, 1455, 255);
    };

    frame(Frame1, "Frame1", kFrameLeft, 120, kFrameWidth, 2175);
    label(Label1, Frame1, "Label1", 360);
    txtFullName = new PathBox(Frame1);
    txtFullName->setObjectName("txtFullName");
    label(Label4, Frame1, "Label4", 720);
    label(Label2, Frame1, "Label2", 1080);
    label(Label3, Frame1, "Label3", 1440);
    label(Label5, Frame1, "Label5", 1800);

    frame(Frame2, "Frame2", kFrameLeft, 2400, kFrameWidth, 3135);
    for (int i = 0; i < 2; ++i) {
        Option1[i] = new QRadioButton(Frame2);
        Option1[i]->setObjectName("Option1");
        Option1[i]->setProperty("Index", i);
        PlaceTwips(*Option1[i], 240, 360 + 360 * i, 4815, 255);
        connect(Option1[i], &QRadioButton::clicked, this, [this, i] { Option1_Click(i); });
    }
    List1 = new QListWidget(Frame2);
    List1->setObjectName("List1");
    PlaceTwips(*List1, 240, 1200, 3375, 1680);
    check(Check4, Frame2, "Check4", 1200);
    check(Check5, Frame2, "Check5", 1560);
    check(Check6, Frame2, "Check6", 1920);
    Check4->setEnabled(false);
    Check5->setEnabled(false);
    connect(Check6, &QCheckBox::clicked, this, &frmAttributes::Check6_Click);

    txtFind = new QLineEdit(Frame2);
    txtFind->setObjectName("txtFind");
    PlaceTwips(*txtFind, 3720, 2280, 1335, 285);
    txtFind->installEventFilter(this);
    connect(txtFind, &QLineEdit::textChanged, this, &frmAttributes::txtFind_Change);

    cmdFind = new QPushButton(Frame2);
    cmdFind->setObjectName("cmdFind");
    PlaceTwips(*cmdFind, 4080, 2640, 975, 255);
    connect(cmdFind, &QPushButton::clicked, this, &frmAttributes::cmdFind_Click);

    frame(Frame3, "Frame3", kFrameLeft, kHeaderFrameTop, kFrameWidth, kHeaderFrameHeight);
    List2 = new QListWidget(Frame3);
    List2->setObjectName("List2");
    List2->setSelectionMode(QAbstractItemView::NoSelection);
    List2->setFocusPolicy(Qt::NoFocus);
    List2->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    List2->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    PlaceTwips(*List2, 240, 300, kFrameWidth - 480, kHeaderFrameHeight - 420);

    Command1 = new QPushButton(this);
    Command1->setObjectName("Command1");
    PlaceTwips(*Command1, 4080, 5640, 1335, 375);
    Command1->setDefault(true);
    connect(Command1, &QPushButton::clicked, this, &frmAttributes::Command1_Click);
}

void frmAttributes::SetDesignedCaptions() {
    setWindowTitle("Атрибуты файла");
    Frame1->setTitle("Основные атрибуты");
    SetLabel(Label1, "Полное имя файла:");
    SetLabel(Label4, "Изменён:");
    SetLabel(Label2, "Размер файла:");
    SetLabel(Label3, "Платформа:");
    SetLabel(Label5, "Этот файл -- системный");
    Frame2->setTitle("Дополнительные атрибуты");
    Frame3->setTitle("Атрибуты заголовков");
    Option1[0]->setText("Отобразить найденные последовательности");
    Option1[1]->setText("Отобразить ненайденные последовательности");
    Check4->setText("Сортировать");
    Check5->setText("С пометками");
    Check6->setText("Объёмный");
    cmdFind->setText("Поиск");
    Command1->setText("Закрыть");
}

void frmAttributes::SetLabel(QLabel* label, const QString& text) {
    label->setText(text);
    label->adjustSize();
}

void frmAttributes::Form_Load() {
    // Loading again (after a language change) starts from the designed
    // captions, so that the values below are not appended twice.
    SetDesignedCaptions();

    // The stored texts of the current language; a control without one keeps
    // its designed caption.
    ApplyCaption(registry_, this, "FileAttributes");
    ApplyCaption(registry_, Frame1, "GeneralAttributes");
    ApplyCaption(registry_, Label1, "FullName");
    ApplyCaption(registry_, Label4, "Modified");
    ApplyCaption(registry_, Label2, "FileSize");
    ApplyCaption(registry_, Label3, "Platform");
    ApplyCaption(registry_, Label5, "SystemFile");
    ApplyCaption(registry_, Frame2, "AdvancedAttributes");
    ApplyCaption(registry_, Frame3, "mnHeader");
    ApplyCaption(registry_, Option1[0], "Show0");
    ApplyCaption(registry_, Option1[1], "Show1");
    ApplyCaption(registry_, Check4, "ListSort");
    ApplyCaption(registry_, Check5, "ListMarks");
    ApplyCaption(registry_, Check6, "List3DEffect");
    ApplyCaption(registry_, cmdFind, "Find");
    ApplyCaption(registry_, Command1, "ButtonClose");

    // The value texts; a missing one reads as not found.
    const std::string interfaceKey = InterfaceKeyPath();
    auto text = [&](const std::string& name, QString& out) {
        std::string value;
        const bool found = registry_.GetKeyText(interfaceKey, name, value).ok();
        out = Q(value);
        return found;
    };
    const AttributeSlots& v = examiner_.AttributeVector();

    // Each loading starts from a sorted list without check marks, whatever
    // the user chose while the window was open before.
    Check4->setChecked(true);
    Check5->setChecked(false);

    // The values follow their captions on the same labels, so that a
    // language's caption and the value read as one line. The full name has
    // a control of its own beside its caption (placed by FitCaptions): a long
    // path is elided there rather than widening the window.
    txtFullName->SetPath(Q(state_.CurrentFile));

    SetLabel(Label2, Label2->text() + " " + QString::number(examiner_.CappedFileSize()));

    // A platform (or "Unknown") the language does not name hides the line
    // rather than showing a caption without a value.
    QString platform;
    if (v[slot::kExecutableType] >= 1 && v[slot::kExecutableType] <= 6) {
        text("Platform" + std::to_string(v[slot::kExecutableType]), platform);
    } else {
        text("Unknown", platform);
    }
    SetLabel(Label3, Label3->text() + " " + platform);
    Label3->setVisible(!platform.isEmpty());

    // d.mm.yyyy, then the weekday and the time of day only where the
    // language names them.
    QString weekday;
    QString time;
    const QString weekdayPart =
        text("WeekDay" + std::to_string(v[slot::kWeekday]), weekday) ? ", " + weekday : QString();
    const QString timePart =
        text("Time" + std::to_string(v[slot::kTimeOfDay]), time) ? ", " + time : QString();
    SetLabel(Label4, Label4->text() + " " +
                         QString("%1.%2.%3")
                             .arg(v[slot::kDay])
                             .arg(v[slot::kMonth], 2, 10, QChar('0'))
                             .arg(v[slot::kYear] + 1900, 4, 10, QChar('0')) +
                         weekdayPart + timePart);

    // The unit after the number; at the cap the size is only a lower bound,
    // which the language's words say.
    QString bytes;
    if (text("bytes", bytes)) SetLabel(Label2, Label2->text() + " " + bytes);
    QString orMore;
    if (text("OrMore", orMore) && examiner_.CappedFileSize() == FileExaminer::kSizeCap)
        SetLabel(Label2, Label2->text() + " " + orMore);

    // The caption is the whole message: shown only for a system file.
    Label5->setVisible(v[slot::kSystemFlag] == kYes);

    // The window's options are kept between runs; one that cannot be read
    // takes its default, and a negative ShowFound (a hand edit) counts as 0.
    auto option = [&](std::string_view name) {
        std::int32_t value = 0;
        return registry_.GetKeyNumber(kBaseKey, name, value) ? value : 0;
    };
    const int shown = option(kShowFoundValue) > 0 ? 1 : 0;
    Option1[shown]->setChecked(true);
    FillList(shown);

    // Only 0 is the flat look; any other stored value is taken as the
    // three-dimensional one.
    Check6->setChecked(option(kListStyleValue) != 0);
    Check6_Click();

    // The search text is kept across loadings: the buttons must agree with it.
    txtFind_Change();

    FillHeaderList();
    FitCaptions();
}

void frmAttributes::FillHeaderList() {
    List2->clear();
    Frame3->setVisible(state_.HeaderAttributes);
    if (!state_.HeaderAttributes) return;
    const AttributeSlots& v = examiner_.AttributeVector();
    for (std::int32_t h = 1; h <= kHeaderSlotCount; ++h)
        List2->addItem(HeaderSlotLine(registry_, h, v[HeaderSlot(state_, h)]));
}

void frmAttributes::ShowNewVector() {
    const int shown = Option1[1]->isChecked() ? 1 : 0;
    const bool raised = Check6->isChecked();
    Form_Load();
    Option1[shown]->setChecked(true);
    FillList(shown);
    Check6->setChecked(raised);
    Check6_Click();
}

void frmAttributes::FitCaptions() {
    // A caption longer than its designed control (a language, a font) widens
    // the control; the frames and the window grow to hold it, never shrink.
    // The header list shows every line whole: as high as its rows, as wide as the longest.
    const int listBorder = 2 * List2->frameWidth() + 4;
    int listWidth = 0;
    for (int r = 0; r < List2->count(); ++r)
        listWidth = std::max(listWidth, List2->fontMetrics().horizontalAdvance(List2->item(r)->text()));
    const int rows = List2->count() > 0 ? List2->sizeHintForRow(0) * List2->count() : 0;
    List2->resize(List2->width(), std::max(toolkit::Pixels(kHeaderFrameHeight - 420), rows + listBorder));
    Frame3->resize(Frame3->width(), List2->geometry().bottom() + 1 + toolkit::Pixels(120));
    const int extra = state_.HeaderAttributes ? Frame3->height() + toolkit::Pixels(105) : 0;
    setFixedSize(toolkit::Pixels(kClientWidth), toolkit::Pixels(kClientHeight) + extra);
    Command1->move(Command1->x(), toolkit::Pixels(5640) + extra);
    for (QGroupBox* frame : {Frame1, Frame2, Frame3})
        frame->resize(toolkit::Pixels(kFrameWidth), frame->height());
    int right = state_.HeaderAttributes ? List2->x() + listWidth + listBorder : 0;
    for (QWidget* control : std::initializer_list<QWidget*>{Option1[0], Option1[1], Check4, Check5, Check6}) {
        toolkit::GrowToText(*control);
        right = std::max(right, control->geometry().right() + 1);
    }
    const int frameWidth = std::max(toolkit::Pixels(kFrameWidth), right + toolkit::Pixels(kFrameMargin));
    for (QGroupBox* frame : {Frame1, Frame2, Frame3}) frame->resize(frameWidth, frame->height());
    List2->resize(frameWidth - toolkit::Pixels(480), List2->height());
    const int width =
        std::max(toolkit::Pixels(kClientWidth), Frame2->x() + frameWidth + toolkit::Pixels(kFrameLeft));
    setFixedSize(width, height());
    // Close stays under the right edge of the frames.
    Command1->move(Frame2->geometry().right() + 1 - Command1->width(), Command1->y());
    // The full name takes the rest of its line, up to the frame's margin.
    const int left = Label1->geometry().right() + 1 + toolkit::Pixels(60);
    const int boxHeight = txtFullName->sizeHint().height();
    txtFullName->setGeometry(left, Label1->y() + (Label1->height() - boxHeight) / 2,
                             std::max(frameWidth - toolkit::Pixels(kFrameMargin) - left, 0), boxHeight);
}

void frmAttributes::FillList(int Index) {
    List1->clear();
    const int count = std::clamp(state_.SequenceCount, 0, ConfigTables::kMaxSequences);
    for (int k = 1; k <= count; ++k)
        if (examiner_.AttributeVector()[SequenceSlot(k)] == Index + 1)
            AddSorted(*List1, Q(state_.SequenceTable[k]));
}

void frmAttributes::Option1_Click(int Index) { FillList(Index); }

void frmAttributes::Check6_Click() {
    if (Check6->isChecked()) {
        List1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        List1->setLineWidth(2);
    } else {
        List1->setFrameStyle(QFrame::Box | QFrame::Plain);
        List1->setLineWidth(1);
    }
}

void frmAttributes::txtFind_Change() {
    const bool empty = txtFind->text().isEmpty();
    cmdFind->setEnabled(!empty);
    Command1->setDefault(empty);
}

bool frmAttributes::txtFind_KeyPress(int KeyAscii) {
    if (KeyAscii != 13) return false;
    cmdFind_Click();
    return true;
}

bool frmAttributes::eventFilter(QObject* watched, QEvent* event) {
    // With text in the box Enter searches; with none it reaches the default
    // button, Close.
    if (watched == txtFind && event->type() == QEvent::KeyPress && !txtFind->text().isEmpty()) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && txtFind_KeyPress(13)) return true;
    }
    return QDialog::eventFilter(watched, event);
}

void frmAttributes::cmdFind_Click() {
    // The contents are searched as Windows-1251 bytes, where a character the
    // code page lacks would become "?" and find that instead.
    const QString lacked =
        LackedCharactersText(registry_, Text(registry_, msg::kFieldFindText), txtFind->text());
    if (!lacked.isEmpty()) {
        toolkit::ShowMessage(this, lacked);
        txtFind->setFocus();
        return;
    }
    const std::string pattern = PatternBytes(txtFind->text().toStdString());
    const std::int32_t offset = FindPattern(pattern, examiner_.LoweredWindow(), examiner_.WindowLength());
    toolkit::ShowMessage(this, QString::number(offset));
}

void frmAttributes::Command1_Click() {
    Registry::WriteGroup group(registry_);
    // A failed write fails the group's Commit, which says why.
    if (Status s = registry_.SetKeyNumber(kBaseKey, kShowFoundValue, Option1[0]->isChecked() ? 0 : 1); s)
        s = registry_.SetKeyNumber(kBaseKey, kListStyleValue, Check6->isChecked() ? 1 : 0);
    if (const Status saved = group.Commit(); !saved) {
        toolkit::ShowMessage(this,
                             Text(registry_, msg::kOptionsNotSaved) + "\n\n" + ReasonText(registry_, saved));
        return;
    }
    close();
}

void frmAttributes::reject() { Command1_Click(); }

void frmAttributes::closeEvent(QCloseEvent* event) {
    // Not QDialog's closeEvent, which would call reject() and so save.
    unloaded_ = true;
    event->accept();
}

}  // namespace morvel
