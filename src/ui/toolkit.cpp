#include "ui/toolkit.h"

#include <QAbstractFileIconProvider>
#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QInputDialog>
#include <QKeyEvent>
#include <QListWidget>
#include <QLocale>
#include <QMessageBox>
#include <QMimeDatabase>
#include <QPainter>
#include <QPainterPath>
#include <QProcess>
#include <QScreen>
#include <QStyle>
#include <QTimer>
#include <QTreeView>
#include <QUrl>
#include <algorithm>
#include <memory>

namespace morvel::toolkit {
namespace {

Hooks& CurrentHooks() {
    static Hooks hooks;
    return hooks;
}

// Icons and type names for the open dialog's list, told from the file names
// alone. Qt's own provider tells a file's type by reading its first bytes
// when its name does not settle it (a store's "-wal" and "-shm" files), and
// that open and close would drop the locks of the store's connection.
class NameOnlyIconProvider : public QAbstractFileIconProvider {
  public:
    QIcon icon(IconType type) const override { return QAbstractFileIconProvider::icon(type); }
    QIcon icon(const QFileInfo& info) const override {
        if (!info.isFile()) return icon(info.isDir() ? Folder : File);
        return QIcon::fromTheme(ByName(info).iconName(), icon(File));
    }
    QString type(const QFileInfo& info) const override {
        if (!info.isFile()) return QAbstractFileIconProvider::type(info);
        const QMimeType mime = ByName(info);
        return mime.comment().isEmpty() ? mime.name() : mime.comment();
    }

  private:
    QMimeType ByName(const QFileInfo& info) const {
        return names_.mimeTypeForFile(info, QMimeDatabase::MatchExtension);
    }
    QMimeDatabase names_;
};

QPixmap IconPixmap(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);
    // A dark blue tile with a white "M" and a small magnifying lens over it.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x1f, 0x3a, 0x6e));
    p.drawRoundedRect(QRectF(1, 1, 30, 30), 5, 5);
    QPainterPath m;
    m.moveTo(6, 24);
    m.lineTo(6, 8);
    m.lineTo(13, 17);
    m.lineTo(20, 8);
    m.lineTo(20, 24);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Qt::white, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(m);
    p.setPen(QPen(QColor(0xf2, 0xb1, 0x34), 2.5));
    p.drawEllipse(QPointF(23, 20), 4, 4);
    p.drawLine(QPointF(26, 23), QPointF(29, 27));
    return pixmap;
}

}  // namespace

void SetHooks(Hooks hooks) { CurrentHooks() = std::move(hooks); }

void PlaceTwips(QWidget& widget, int left, int top, int width, int height) {
    widget.setGeometry(Pixels(left), Pixels(top), Pixels(width), Pixels(height));
}

int GrowToText(QWidget& control) {
    const int growth = std::max(control.sizeHint().width() - control.width(), 0);
    if (growth > 0) control.resize(control.width() + growth, control.height());
    return growth;
}

void PlaceNear(QWidget& dialog, const QWidget* owner) {
    const QScreen* screen = owner && owner->screen() ? owner->screen() : dialog.screen();
    if (!screen) return;
    const QRect area = screen->availableGeometry();
    QPoint at;
    if (owner && owner->isVisible()) {
        const QRect frame = owner->frameGeometry();
        at = QPoint(frame.left(), frame.bottom() + 1);
    } else {
        at = area.center() - QPoint(dialog.width() / 2, dialog.height() / 2);
    }
    // The dialog's own title bar and border are not part of its size yet.
    const int decoration = dialog.style()->pixelMetric(QStyle::PM_TitleBarHeight) + 8;
    at.setX(std::clamp(at.x(), area.left(), std::max(area.left(), area.right() + 1 - dialog.width())));
    at.setY(std::clamp(at.y(), area.top(),
                       std::max(area.top(), area.bottom() + 1 - dialog.height() - decoration)));
    dialog.move(at);
}

namespace {
class ArrowSelects : public QObject {
  public:
    explicit ArrowSelects(QListWidget& list) : QObject(&list), list_(list) {}
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) return false;
        const int key = static_cast<QKeyEvent*>(event)->key();
        if ((key != Qt::Key_Down && key != Qt::Key_Up) || list_.count() == 0 ||
            !list_.selectedItems().isEmpty())
            return false;
        list_.setCurrentRow(list_.currentRow() >= 0 ? list_.currentRow() : 0);
        return true;
    }

  private:
    QListWidget& list_;
};
}  // namespace

void SelectFirstOnArrow(QListWidget& list) { list.installEventFilter(new ArrowSelects(list)); }

void SelectRow(QListWidget& list, int row) {
    QListWidgetItem* item = list.item(row);
    if (!item) return;
    list.setCurrentItem(item);
    item->setSelected(true);
    list.scrollToItem(item, QAbstractItemView::EnsureVisible);
}

void Yield() { QCoreApplication::processEvents(); }

void Beep() {
    if (CurrentHooks().beep) return CurrentHooks().beep();
    QApplication::beep();
}

void ShowMessage(QWidget* parent, const QString& text) {
    if (CurrentHooks().message) return CurrentHooks().message(text);
    QMessageBox box(QMessageBox::NoIcon, kProgramTitle, text, QMessageBox::Ok, parent);
    box.exec();
}

bool AskYesNo(QWidget* parent, const QString& text) {
    if (CurrentHooks().question) return CurrentHooks().question(text);
    QMessageBox box(QMessageBox::NoIcon, kProgramTitle, text, QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

QString InputBox(QWidget* parent, const QString& prompt, const QString& title, const QString& defaultText) {
    if (CurrentHooks().input) return CurrentHooks().input(prompt, title, defaultText);
    QInputDialog dialog(parent);
    dialog.setWindowTitle(title);
    dialog.setLabelText(prompt);
    dialog.setTextValue(defaultText);
    return dialog.exec() == QDialog::Accepted ? dialog.textValue() : QString();
}

// The open dialog's list as the file system model gives it, but with sizes and
// dates written the way of the interface's language: the model writes them
// the way of the system's locale, whatever the interface speaks.
class InterfaceSizesAndDates : public QIdentityProxyModel {
  public:
    using QIdentityProxyModel::QIdentityProxyModel;
    // The file system model's columns.
    static constexpr int kSizeColumn = 1;
    static constexpr int kDateColumn = 3;

    QVariant data(const QModelIndex& index, int role) const override {
        const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
        if (!files || role != Qt::DisplayRole ||
            (index.column() != kSizeColumn && index.column() != kDateColumn))
            return QIdentityProxyModel::data(index, role);
        const QModelIndex file = mapToSource(index);
        const QLocale language;
        if (index.column() == kSizeColumn)
            return files->isDir(file) ? QString() : language.formattedDataSize(files->size(file));
        return language.toString(files->lastModified(file), QLocale::ShortFormat);
    }
};

QFileDialog* MakeOpenDialog(QWidget* parent, const OpenFileRequest& request) {
    auto* dialog = new QFileDialog(parent, request.title, request.folder);
    dialog->setObjectName("OpenDialog");
    // Qt's own dialog, whose listing reads no file's contents (a platform
    // dialog may, to tell types or draw previews).
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    static NameOnlyIconProvider names;
    dialog->setIconProvider(&names);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setProxyModel(new InterfaceSizesAndDates(dialog));
    // Sizes and dates are read whole, not cut to the columns' first widths.
    if (auto* list = dialog->findChild<QTreeView*>("treeView"))
        for (int column : {InterfaceSizesAndDates::kSizeColumn, InterfaceSizesAndDates::kDateColumn})
            list->header()->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    dialog->setNameFilters(request.filters);
    if (!request.filters.isEmpty()) dialog->selectNameFilter(request.filters.first());
    return dialog;
}

QString OpenFileName(QWidget* parent, const OpenFileRequest& request) {
    if (CurrentHooks().openFile) return CurrentHooks().openFile(request);
    std::unique_ptr<QFileDialog> dialog(MakeOpenDialog(parent, request));
    PlaceNear(*dialog, parent);
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty()) return QString();
    return dialog->selectedFiles().first();
}

QString FolderName(QWidget* parent, const QString& title, const QString& folder) {
    if (CurrentHooks().folder) return CurrentHooks().folder(title);
    QFileDialog dialog(parent, title, folder);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    static NameOnlyIconProvider names;
    dialog.setIconProvider(&names);
    dialog.setFileMode(QFileDialog::Directory);
    PlaceNear(dialog, parent);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
    return dialog.selectedFiles().first();
}

void SetInterval(QTimer& timer, int milliseconds) {
    if (milliseconds <= 0) return timer.stop();
    timer.start(milliseconds);
}

QString ProgramFolder() {
    if (!CurrentHooks().programFolder.isEmpty()) return CurrentHooks().programFolder;
    return QCoreApplication::applicationDirPath();
}

QString InterfacesFolder() {
    const QString beside = ProgramFolder() + "/Interfaces";
    if (QFileInfo(beside).isDir() || !CurrentHooks().programFolder.isEmpty()) return beside;
    return QStringLiteral(MORVEL_INSTALLED_DATA_DIR "/Interfaces");
}

Version ProgramVersion() { return {MORVEL_VERSION_MAJOR, MORVEL_VERSION_MINOR, MORVEL_VERSION_PATCH}; }

QIcon ProgramIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64}) icon.addPixmap(IconPixmap(size));
    return icon;
}

Status StartProgram(const QString& program, const QStringList& arguments, WindowState) {
    // The window state cannot be asked of an arbitrary program here; a started
    // program opens its window as it chooses.
    if (CurrentHooks().start) return CurrentHooks().start(program, arguments);
    const QFileInfo info(program);
    if (!info.exists()) return Status::NotFound(QString("%1 does not exist.").arg(program).toStdString());
    if (info.isFile() && info.isExecutable() && QProcess::startDetached(program, arguments))
        return Status::Ok();
    if (arguments.isEmpty() && QDesktopServices::openUrl(QUrl::fromLocalFile(info.absoluteFilePath())))
        return Status::Ok();
    return Status::IOError(
        QString("%1 cannot be started: it is not a program this system can run, and no program to open it "
                "is set up.")
            .arg(program)
            .toStdString());
}

void EndProgram() {
    if (CurrentHooks().endProgram) return CurrentHooks().endProgram();
    // Leaves every event loop, modal ones included; main() then returns and
    // every window goes with the objects that own them.
    QCoreApplication::exit(0);
}

}  // namespace morvel::toolkit
