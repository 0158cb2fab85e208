#include "ui/frmReview.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGridLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>
#include <filesystem>

#include "core/examples/ExampleStore.h"
#include "ui/Messages.h"
#include "ui/toolkit.h"

namespace morvel {
namespace {

// A folder's executables as morvel-cli takes a folder: its regular files
// named .exe, .com or .scr in any letter case, sorted by path. Listing reads
// names and kinds only; no file is opened.
std::vector<std::string> Executables(const QString& folder) {
    std::vector<std::string> files;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder.toStdString(), ec), end; !ec && it != end;
         it.increment(ec)) {
        std::error_code kind;
        if (!it->is_regular_file(kind)) continue;
        const QString suffix = QFileInfo(QString::fromStdString(it->path().string())).suffix().toLower();
        if (suffix == "exe" || suffix == "com" || suffix == "scr") files.push_back(it->path().string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

QString Figure(double value) { return QString::number(value, 'f', 2); }

}  // namespace

frmReview::frmReview(Registry& registry, const ConfigTables& tables, QWidget* parent)
    : QDialog(parent), registry_(registry), tables_(tables), review_(std::make_unique<FileReview>()) {
    setObjectName("frmReview");
    setAttribute(Qt::WA_DeleteOnClose);
    examiner_.TakeFingerprints(true);

    lblFolder = new QLabel(this);
    txtFolder = new QLineEdit(this);
    txtFolder->setReadOnly(true);
    cmdChoose = new QPushButton(this);
    cmdChoose->setObjectName("cmdChoose");
    lblTarget = new QLabel(this);
    cmbTarget = new QComboBox(this);
    cmbTarget->setObjectName("cmbTarget");
    lblFolder->setBuddy(cmdChoose);
    lblTarget->setBuddy(cmbTarget);
    cmdStart = new QPushButton(this);
    cmdStart->setObjectName("cmdStart");
    barProgress = new QProgressBar(this);
    lblStatus = new QLabel(this);
    lblStatus->setObjectName("lblStatus");
    lblStatus->setWordWrap(true);
    lstFiles = new QTreeWidget(this);
    lstFiles->setObjectName("lstFiles");
    lstFiles->setRootIsDecorated(false);
    lstFiles->setAllColumnsShowFocus(true);
    lstFiles->setColumnCount(5);
    lstFiles->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    lstFiles->header()->setStretchLastSection(false);
    cmdClose = new QPushButton(this);
    cmdClose->setAutoDefault(false);
    cmdStart->setAutoDefault(false);
    cmdChoose->setAutoDefault(false);

    auto* grid = new QGridLayout(this);
    grid->addWidget(lblFolder, 0, 0);
    grid->addWidget(txtFolder, 0, 1);
    grid->addWidget(cmdChoose, 0, 2);
    grid->addWidget(lblTarget, 1, 0);
    grid->addWidget(cmbTarget, 1, 1);
    grid->addWidget(cmdStart, 1, 2);
    grid->addWidget(lstFiles, 2, 0, 1, 3);
    grid->addWidget(barProgress, 3, 0, 1, 2);
    grid->addWidget(cmdClose, 3, 2);
    grid->addWidget(lblStatus, 4, 0, 1, 3);
    grid->setColumnStretch(1, 1);

    timer_ = new QTimer(this);
    timer_->setInterval(0);
    connect(timer_, &QTimer::timeout, this, &frmReview::Step);
    connect(cmdChoose, &QPushButton::clicked, this, &frmReview::ChooseFolder);
    connect(cmdStart, &QPushButton::clicked, this, [this] { reviewing_ ? Stop() : Rank(); });
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::close);
    connect(lstFiles, &QTreeWidget::itemDoubleClicked, this, [this] { OpenCurrent(); });

    SetTexts();
    ListTargets();
    barProgress->setValue(0);
    resize(toolkit::Pixels(9600), toolkit::Pixels(6000));
    toolkit::PlaceNear(*this, parent);
    cmdChoose->setFocus();
}

frmReview::~frmReview() = default;

void frmReview::SetTexts() {
    setWindowTitle(Text(registry_, msg::kReviewTitle));
    lblFolder->setText(Text(registry_, msg::kReviewFolder));
    cmdChoose->setText(Text(registry_, msg::kReviewChoose));
    lblTarget->setText(Text(registry_, msg::kReviewTarget));
    cmdStart->setText(Text(registry_, reviewing_ ? msg::kReviewStop : msg::kReviewStart));
    cmdClose->setText(Text(registry_, msg::kReviewClose));
    lstFiles->setHeaderLabels({Text(registry_, msg::kReviewFile), Text(registry_, msg::kReviewValue),
                               Text(registry_, msg::kReviewCertainty), Text(registry_, msg::kReviewNovelty),
                               Text(registry_, msg::kReviewWorth)});
}

void frmReview::ListTargets() {
    const QString chosen = cmbTarget->currentData().toString();
    cmbTarget->clear();
    for (std::int32_t k = 1; k <= tables_.TargetCount; ++k) {
        const TargetEntry& target = tables_.TargetTable[k];
        cmbTarget->addItem(QString::fromStdString(target.Name + " (" + target.Id + ")"),
                           QString::fromStdString(target.Id));
    }
    if (const int again = cmbTarget->findData(chosen); again >= 0) cmbTarget->setCurrentIndex(again);
    if (tables_.TargetCount == 0) lblStatus->setText(Text(registry_, msg::kReviewNoTargets));
}

void frmReview::ChooseFolder() {
    const QString folder = toolkit::FolderName(this, Text(registry_, msg::kReviewChooseTitle), folder_);
    if (!folder.isEmpty()) ReviewFolder(folder);
}

void frmReview::ReviewFolder(const QString& folder) {
    folder_ = folder;
    txtFolder->setText(folder);
    txtFolder->setToolTip(folder);
    Rank();
}

void frmReview::Rank() {
    Stop();
    ListTargets();
    lstFiles->clear();
    rows_.clear();
    if (folder_.isEmpty() || cmbTarget->currentIndex() < 0) return;
    // The tables as they are now: the examples are read for them, and a
    // change while the review runs does not mix into it.
    reviewTables_ = tables_;
    target_ = 0;
    const std::string id = cmbTarget->currentData().toString().toStdString();
    for (std::int32_t k = 1; k <= reviewTables_.TargetCount && target_ == 0; ++k)
        if (reviewTables_.TargetTable[k].Id == id) target_ = k;
    std::shared_ptr<const StoredExamples> examples;
    Status read = ExampleStore::Read(registry_, reviewTables_, examples);
    if (read) read = ExampleStore::ReadFingerprints(registry_, fingerprints_);
    if (!read) return lblStatus->setText(ReasonText(registry_, read));
    classes_.UseExamples(examples);
    files_ = Executables(folder_);
    next_ = taught_ = unreadable_ = 0;
    barProgress->setRange(0, static_cast<int>(files_.size()));
    barProgress->setValue(0);
    reviewing_ = true;
    SetTexts();
    timer_->start();
}

void frmReview::Step() {
    // A slice of work between events: the window answers within it.
    QElapsedTimer slice;
    slice.start();
    while (next_ < files_.size() && slice.elapsed() < 30) {
        const std::string& path = files_[next_++];
        if (!examiner_.ComputeFileAttributes(path, reviewTables_)) {
            ++unreadable_;
        } else if (fingerprints_.contains(examiner_.Fingerprint())) {
            ++taught_;
        } else {
            rows_.push_back(
                {path, review_->Review(classes_, reviewTables_, target_, examiner_.AttributeVector())});
        }
    }
    barProgress->setValue(static_cast<int>(next_));
    lblStatus->setText(
        Text(registry_, msg::kReviewProgress, {QString::number(next_), QString::number(files_.size())}));
    if (next_ >= files_.size()) Finish(false);
}

void frmReview::Stop() {
    if (reviewing_) Finish(true);
}

void frmReview::Finish(bool stopped) {
    timer_->stop();
    reviewing_ = false;
    SetTexts();
    // Most worth first; equal worth keeps the folder's order.
    std::stable_sort(rows_.begin(), rows_.end(),
                     [](const Row& a, const Row& b) { return a.figures.worth > b.figures.worth; });
    lstFiles->clear();
    for (const Row& row : rows_) {
        const QString path = QString::fromStdString(row.path);
        const ReviewFigures& f = row.figures;
        auto* item = new QTreeWidgetItem(lstFiles);
        item->setText(0, QFileInfo(path).fileName());
        item->setToolTip(0, path);
        item->setData(0, Qt::UserRole, path);
        item->setText(
            1, f.examples == 0 ? Text(registry_, msg::kReviewNoExamples) : QString::fromStdString(f.value));
        item->setText(2, Figure(f.certainty));
        item->setText(3, Figure(f.novelty));
        item->setText(4, Figure(f.worth));
        for (int column = 2; column <= 4; ++column)
            item->setTextAlignment(column, Qt::AlignRight | Qt::AlignVCenter);
    }
    for (int column = 1; column <= 4; ++column) lstFiles->resizeColumnToContents(column);
    const QStringList counts = {QString::number(rows_.size()), QString::number(taught_),
                                QString::number(unreadable_), QString::number(files_.size())};
    lblStatus->setText(stopped ? Text(registry_, msg::kReviewStopped, counts)
                               : Text(registry_, msg::kReviewDone, counts));
    if (lstFiles->topLevelItemCount() > 0) {
        lstFiles->setCurrentItem(lstFiles->topLevelItem(0));
        lstFiles->setFocus();
    }
}

void frmReview::OpenCurrent() {
    if (const QTreeWidgetItem* item = lstFiles->currentItem())
        emit OpenRequested(item->data(0, Qt::UserRole).toString());
}

void frmReview::keyPressEvent(QKeyEvent* event) {
    // Enter opens the file in the list; elsewhere it does not close the window.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (focusWidget() == lstFiles) OpenCurrent();
        return;
    }
    QDialog::keyPressEvent(event);
}

void frmReview::reject() {
    if (reviewing_) return Stop();
    QDialog::reject();
}

}  // namespace morvel
