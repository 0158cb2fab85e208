#include "ui/frmClass.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QStyle>
#include <QTimer>
#include <algorithm>
#include <memory>

#include "core/classify/ClassificationRun.h"
#include "core/classify/TrainingSet.h"
#include "core/classify/ValueBox.h"
#include "ui/Messages.h"
#include "ui/WhyText.h"
#include "ui/toolkit.h"

namespace morvel {
namespace {

using toolkit::Pixels;
using toolkit::Twips;

// The designed geometry, in twips.
constexpr int kLabelLeft = 120;
constexpr int kLabelTop = 165;
constexpr int kBoxTop = 120;
constexpr int kBoxHeight = 315;
constexpr int kLabelGap = 400;  // between the widest label and the boxes
constexpr int kOpeningBoxWidth = 3000;
constexpr int kNarrowestBox = 1000;
constexpr int kFrameWidth = 2535;
constexpr int kFrameHeight = 735;

// a / b rounded to the nearest integer, halves to the even neighbour.
int RoundedHalfEven(int a, int b) {
    const int q = a / b;
    const int twice = 2 * (a % b);
    if (twice > b || (twice == b && q % 2 != 0)) return q + 1;
    return q;
}

QString Q(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

// The value box of one row, as the classifiers see it. Yield reports the end
// of the run once the window has been closed or deleted; after that the box
// is not touched.
class frmClass::RowBox final : public ValueBox {
  public:
    RowBox(QPointer<frmClass> window, QComboBox* box) : window_(std::move(window)), box_(box) {}

    void Clear() override {
        const QString text = box_->currentText();
        box_->clear();
        box_->setEditText(text);
    }
    void SetText(const std::string& text) override { box_->setEditText(Q(text)); }
    void AddItem(const std::string& entry) override {
        // An editable combo box selects its first entry when that entry is
        // added, which would replace the text the classifier set.
        const QString text = box_->currentText();
        box_->addItem(Q(entry));
        box_->setCurrentIndex(-1);
        box_->setEditText(text);
    }
    void SelectItem(int index) override {
        if (index < 0 || index >= box_->count()) return;
        box_->setCurrentIndex(index);
        box_->setEditText(box_->itemText(index));
    }
    void SetEnabled(bool enabled) override { box_->setEnabled(enabled); }
    bool Yield() override {
        toolkit::Yield();
        return window_ && !window_->unloaded_;
    }

  private:
    QPointer<frmClass> window_;
    QComboBox* box_;
};

frmClass::frmClass(Registry& registry, const ConfigTables& tables, FileExaminer& examiner,
                   ExampleStore& examples, QWidget* parent)
    : QDialog(parent),
      registry_(registry),
      examiner_(examiner),
      examples_(examples),
      tables_(tables),
      vector_(examiner.AttributeVector()),
      fingerprint_(examiner.Fingerprint()),
      fresh_(examiner.AttributesFresh()),
      generation_(examiner.Generation()) {
    setObjectName("frmClass");
    setWindowTitle("Классификация исполняемого файла");
    setWindowIcon(toolkit::ProgramIcon());
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                   Qt::WindowCloseButtonHint);

    rowsScroll_ = new QScrollArea(this);
    rowsScroll_->setObjectName("rowsScroll");
    rowsScroll_->setFrameShape(QFrame::NoFrame);
    rowsScroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    rowsArea_ = new QWidget;
    rowsArea_->setObjectName("rowsArea");
    rowsScroll_->setWidget(rowsArea_);

    auto* label = new QLabel("Label1", rowsArea_);
    label->setObjectName("lblName");
    label->move(Pixels(kLabelLeft), Pixels(kLabelTop));
    label->adjustSize();
    label->hide();
    lblName.push_back(label);

    auto* box = new QComboBox(rowsArea_);
    box->setObjectName("cmbValue");
    box->setEditable(true);
    box->setEditText("Combo1");
    box->hide();
    cmbValue.push_back(box);

    frmButtons = new QFrame(this);
    frmButtons->setObjectName("frmButtons");
    frmButtons->setFrameShape(QFrame::NoFrame);
    frmButtons->resize(Pixels(kFrameWidth), Pixels(kFrameHeight));

    Command3 = new QPushButton("Запомнить", frmButtons);
    Command3->setObjectName("Command3");
    toolkit::PlaceTwips(*Command3, 120, 120, 1095, 375);
    // Enter means Remember wherever the focus is, Cancel included: the
    // buttons do not take the default role when they get the focus.
    Command3->setAutoDefault(false);
    Command3->setDefault(true);
    Command3->setEnabled(false);
    connect(Command3, &QPushButton::clicked, this, &frmClass::Command3_Click);

    Command4 = new QPushButton("Отмена", frmButtons);
    Command4->setObjectName("Command4");
    toolkit::PlaceTwips(*Command4, 1320, 120, 1095, 375);
    Command4->setAutoDefault(false);
    connect(Command4, &QPushButton::clicked, this, &frmClass::Command4_Click);

    Timer1 = new QTimer(this);
    Timer1->setObjectName("Timer1");
    Timer1->setSingleShot(true);
    connect(Timer1, &QTimer::timeout, this, &frmClass::Timer1_Timer);

    Form_Load();
    toolkit::SetInterval(*Timer1, 1);
}

frmClass::~frmClass() = default;

void frmClass::Form_Load() {
    const int rows = std::clamp(tables_.TargetCount, 0, ConfigTables::kMaxTargets);
    RowHeight = RoundedHalfEven(kBoxHeight * 3, 2);

    rowTargets_.assign(1, TargetEntry());
    why_.assign(static_cast<std::size_t>(rows) + 1, QString());
    for (int k = 1; k <= rows; ++k) {
        rowTargets_.push_back(tables_.TargetTable[k]);

        auto* label = new QLabel(Q(tables_.TargetTable[k].Name), rowsArea_);
        label->setObjectName("lblName");
        label->setProperty("Index", k);
        label->setTextFormat(Qt::PlainText);
        label->move(Pixels(kLabelLeft), Pixels(kLabelTop + RowHeight * (k - 1)));
        label->adjustSize();
        label->hide();
        lblName.push_back(label);

        auto* box = new QComboBox(rowsArea_);
        box->setObjectName("cmbValue");
        box->setProperty("Index", k);
        box->setEditable(true);
        // The text is what the user typed or chose: no entry is added on
        // Enter, and no entry completes what is typed.
        box->setInsertPolicy(QComboBox::NoInsert);
        box->setCompleter(nullptr);
        box->lineEdit()->setMaxLength(kMaxValueLength);
        box->setEditText(QString());
        box->hide();
        cmbValue.push_back(box);
    }
    // Tab moves down the rows, then to the buttons.
    for (int k = 1; k < rows; ++k) setTabOrder(cmbValue[k], cmbValue[k + 1]);
    if (rows > 0) setTabOrder(cmbValue[rows], Command3);

    LabelWidth = 1;
    for (int k = 1; k <= rows; ++k) LabelWidth = LargerOf(LabelWidth, Twips(lblName[k]->width()));

    const int clientWidth = 2 * kLabelLeft + LabelWidth + kLabelGap + kOpeningBoxWidth;
    const int clientHeight = kLabelTop + RowHeight * rows + kFrameHeight;
    QSize size(Pixels(clientWidth), Pixels(clientHeight));
    if (const QScreen* screen = this->screen()) {
        const QRect area = screen->availableGeometry();
        // The title bar and the border take room too.
        const int frame = style()->pixelMetric(QStyle::PM_TitleBarHeight) + 2 * 4;
        if (size.height() + frame > area.height()) {
            scrolling_ = true;
            size = QSize(size.width() + style()->pixelMetric(QStyle::PM_ScrollBarExtent),
                         std::max(area.height() - frame, Pixels(kLabelTop + RowHeight + kFrameHeight)));
        }
        resize(size);
        const QPoint centred = area.center() - QPoint(width() / 2, (height() + frame) / 2);
        move(centred.x(), std::max(centred.y(), area.top()));
    } else {
        resize(size);
    }
    Form_Resize();
}

void frmClass::Form_Resize() {
    const int clientHeight = Twips(height());
    const int rows = static_cast<int>(cmbValue.size()) - 1;
    const int rowsHeight = Pixels(kLabelTop + RowHeight * rows);
    // Scrolling, the rows take the room above the buttons and the scroll bar
    // its width; otherwise they take their whole height, as designed.
    const int scrollBar = scrolling_ ? style()->pixelMetric(QStyle::PM_ScrollBarExtent) : 0;
    rowsScroll_->setGeometry(0, 0, width(),
                             scrolling_ ? std::max(height() - Pixels(kFrameHeight), 0) : rowsHeight);
    rowsScroll_->setVerticalScrollBarPolicy(scrolling_ ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    rowsArea_->resize(width() - scrollBar, rowsHeight);
    const int clientWidth = Twips(width() - scrollBar);
    const int boxLeft = kLabelLeft + LabelWidth + kLabelGap;
    for (int k = 1; k <= rows; ++k) {
        const int boxWidth = LargerOf(clientWidth - kLabelLeft - boxLeft, kNarrowestBox);
        // The box keeps the height its font needs; the designed height sets the row pitch.
        cmbValue[k]->setGeometry(Pixels(boxLeft), Pixels(kBoxTop + RowHeight * (k - 1)), Pixels(boxWidth),
                                 cmbValue[k]->sizeHint().height());
    }
    const int frameTop =
        scrolling_ ? clientHeight - kFrameHeight : LargerOf(clientHeight - kFrameHeight, RowHeight * rows);
    frmButtons->move(Pixels((Twips(width()) - kFrameWidth) / 2), Pixels(frameTop));
    frmButtons->raise();
}

void frmClass::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    if (frmButtons) Form_Resize();
}

void frmClass::Timer1_Timer() {
    // Once per opening: the timer is a one-shot, and a tick that arrives
    // while the run yields finds the run started.
    if (runStarted_ || unloaded_) return;
    runStarted_ = true;
    toolkit::SetInterval(*Timer1, 0);

    // The window may be deleted during any yield below; from then on only
    // locals and the program-wide objects are used, never a member.
    const QPointer<frmClass> self(this);
    // The run's own copies: the window's tables with the rows' targets, and
    // the vector taken when the window opened.
    auto runState = std::make_unique<ConfigTables>(tables_);
    const int rows = static_cast<int>(rowTargets_.size()) - 1;
    runState->TargetCount = rows;
    for (int k = 1; k <= rows; ++k) runState->TargetTable[k] = rowTargets_[k];
    const AttributeSlots vector = vector_;

    // Predictions from part of the examples would be wrong: a failed read is
    // shown, and the window offers nothing to remember.
    std::shared_ptr<const StoredExamples> examples;
    if (const Status read = ExampleStore::Read(registry_, *runState, examples); !read) {
        toolkit::ShowMessage(this, QString::fromStdString(read.message()));
        return;
    }
    auto classes = std::make_unique<TrainingSet>();
    classes->UseExamples(examples);
    auto run = std::make_unique<ClassificationRun>();
    for (int k = 1; k <= rows; ++k) {
        lblName[k]->show();
        toolkit::Yield();
        if (!self || self->unloaded_) return;
        QComboBox* box = cmbValue[k];
        box->show();
        RowBox value(self, box);
        // What the method computed, for the row's why (its name's tooltip and F1).
        const auto trace = std::make_unique<WhyTrace>();
        run->SetTrace(trace.get());
        if (!run->ClassifyTarget(*classes, *runState, k, vector, value)) return;
        run->SetTrace(nullptr);
        why_[k] = WhyText(registry_, *runState, vector, runState->TargetTable[k].Method,
                          classes->LoadedCount(), box->count(), *trace);
        lblName[k]->setToolTip(why_[k]);
    }
    Command3->setEnabled(true);
    // Ready to correct the first value; Enter still means Remember.
    if (rows > 0) {
        cmbValue[1]->setFocus();
        rowsScroll_->ensureWidgetVisible(cmbValue[1]);
    }
}

void frmClass::Command3_Click() {
    if (!Command3->isEnabled()) return;
    std::vector<RememberedValue> values;
    for (std::size_t k = 1; k < rowTargets_.size(); ++k) {
        const QString text = cmbValue[k]->currentText();
        // A character the store lacks would be stored as "?": refused, with the value kept.
        const QString field = Text(registry_, msg::kFieldTargetValue, {Q(rowTargets_[k].Name)});
        if (const QString refused = CannotHoldText(registry_, field, text); !refused.isEmpty()) {
            toolkit::ShowMessage(this, Text(registry_, msg::kNotRemembered) + "\n\n" + refused);
            cmbValue[k]->setFocus();
            rowsScroll_->ensureWidgetVisible(cmbValue[k]);
            return;
        }
        values.push_back({rowTargets_[k].Id, text.toStdString()});
    }
    const Status stored = examples_.Remember(tables_, vector_, fresh_, values, nullptr, fingerprint_);
    if (!stored) {
        toolkit::ShowMessage(this,
                             Text(registry_, msg::kNotRemembered) + "\n\n" + ReasonText(registry_, stored));
        return;
    }
    examiner_.MarkRemembered(generation_);
    emit Remembered();
    close();
}

void frmClass::Command4_Click() { close(); }

void frmClass::reject() { Command4_Click(); }

void frmClass::keyPressEvent(QKeyEvent* event) {
    if (event->key() != Qt::Key_F1) return QDialog::keyPressEvent(event);
    // The row whose value box (or its line edit) has the focus.
    const QWidget* focus = focusWidget();
    for (std::size_t k = 1; k < cmbValue.size(); ++k)
        if (focus && (focus == cmbValue[k] || cmbValue[k]->isAncestorOf(focus)) && !why_[k].isEmpty())
            return toolkit::ShowMessage(this, lblName[k]->text() + "\n\n" + why_[k]);
    toolkit::Beep();
}

void frmClass::closeEvent(QCloseEvent* event) {
    // Not QDialog's closeEvent, which would call reject() again.
    unloaded_ = true;
    toolkit::SetInterval(*Timer1, 0);
    event->accept();
}

}  // namespace morvel
