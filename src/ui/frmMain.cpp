#include "ui/frmMain.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QUrl>
#include <algorithm>

#include "core/exchange/LanguageFile.h"
#include "core/store/KeyPaths.h"
#include "ui/Captions.h"
#include "ui/InterfaceLanguage.h"
#include "ui/Messages.h"
#include "ui/frmReview.h"
#include "ui/toolkit.h"

namespace morvel {
namespace {

// The client area below the menu bar, in twips: only the menu bar shows.
constexpr int kClientWidth = 4575;
constexpr int kClientHeight = 15;
// Language items 0 to 254 name files; one more, hidden, is the spare.
constexpr int kMaxLanguages = 255;
// How many skipped lines of a language file a message lists.
constexpr std::size_t kListedProblems = 10;

QString FileTitle(const std::string& path) {
    if (path.empty()) return QString();
    return QFileInfo(QString::fromStdString(path)).fileName().trimmed();
}

// The language name of a file: its name cut before the first ".".
QString LanguageName(const QString& fileName) { return fileName.left(fileName.indexOf('.')); }

// A file URL of a drop, if the drop carries one.
QString DroppedFile(const QMimeData* mime) {
    if (!mime || !mime->hasUrls()) return QString();
    for (const QUrl& url : mime->urls())
        if (url.isLocalFile()) return url.toLocalFile();
    return QString();
}

}  // namespace

frmMain::frmMain(Registry& registry, ConfigTables& tables, FileExaminer& examiner, ProgramWindows& windows,
                 QWidget* parent)
    : QMainWindow(parent), registry_(registry), state_(tables), examiner_(examiner), windows_(windows) {
    setObjectName("frmMain");
    setWindowTitle(toolkit::kProgramTitle);
    setWindowIcon(toolkit::ProgramIcon());
    // A fixed border with the close box only.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    auto* client = new QWidget(this);
    client->setObjectName("client");
    setCentralWidget(client);
    setAcceptDrops(true);
    BuildMenus();
    Form_Load();
}

frmMain::~frmMain() = default;

void frmMain::BuildMenus() {
    auto item = [this](QMenu* menu, QAction*& action, const char* name, const QString& caption,
                       void (frmMain::*handler)()) {
        action = menu->addAction(caption);
        action->setObjectName(name);
        connect(action, &QAction::triggered, this, handler);
    };
    auto separator = [](QMenu* menu, QAction*& action, const char* name) {
        action = menu->addSeparator();
        action->setObjectName(name);
    };
    auto submenu = [this](QMenu*& menu, const char* name, const QString& caption) {
        menu = menuBar()->addMenu(caption);
        menu->setObjectName(name);
    };

    submenu(mnFile, "mnFile", "Файл");
    item(mnFile, mnOpen, "mnOpen", "Открыть", &frmMain::mnOpen_Click);
    item(mnFile, mnReview, "mnReview", "Обзор папки...", &frmMain::mnReview_Click);
    mnReview->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    separator(mnFile, mn1, "mn1");
    item(mnFile, mnFileAttr, "mnFileAttr", "Атрибуты", &frmMain::mnFileAttr_Click);
    item(mnFile, mnFileClass, "mnFileClass", "Классификация", &frmMain::mnFileClass_Click);
    item(mnFile, mnFileRun, "mnFileRun", "Запустить", &frmMain::mnFileRun_Click);
    separator(mnFile, mn2, "mn2");
    item(mnFile, mnClose, "mnClose", "Закрыть", &frmMain::mnClose_Click);

    submenu(mnSettings, "mnSettings", "Настройки");
    item(mnSettings, mnAdvanced, "mnAdvanced", "Дополнительные атрибуты", &frmMain::mnAdvanced_Click);
    item(mnSettings, mnTarget, "mnTarget", "Целевые атрибуты", &frmMain::mnTarget_Click);
    item(mnSettings, mnHeader, "mnHeader", "Атрибуты заголовков", &frmMain::mnHeader_Click);
    mnHeader->setCheckable(true);
    mnHeader->setChecked(state_.HeaderAttributes);

    submenu(mnInterface, "mnInterface", "Интерфейс");
    // Item 0 exists from the start, empty and hidden until a language file names it.
    QAction* first = mnInterface->addAction(QString());
    first->setObjectName("mnLang");
    first->setVisible(false);
    connect(first, &QAction::triggered, this, [this] { mnLang_Click(0); });
    mnLang.push_back(first);

    submenu(mnInfo, "mnInfo", "Информация");
    item(mnInfo, mnAbout, "mnAbout", "О программе", &frmMain::mnAbout_Click);
    item(mnInfo, mnSysInfo, "mnSysInfo", "О системе", &frmMain::mnSysInfo_Click);
}

void frmMain::Form_Load() {
    ListLanguages();
    RefreshCaption();
    UpdateInterface();
    if (state_.AttributesValid) mnFileClass_Click();
    // The file named on the command line may be one the examiner refused unopened.
    if (const QString refused = StoreFileText(registry_, QString::fromStdString(state_.CurrentFile));
        !refused.isEmpty())
        toolkit::ShowMessage(this, refused);
}

void frmMain::ListLanguages() {
    // Sorted by name, as a person looks for a language; hidden files are left
    // out. The extension is matched in any letter case ("FRENCH.LNG").
    const QDir folder(toolkit::InterfacesFolder());
    QStringList files = folder.entryList({"*.lng"}, QDir::Files, QDir::Name | QDir::IgnoreCase);
    if (files.isEmpty()) return;
    if (files.size() > kMaxLanguages) files = files.mid(0, kMaxLanguages);
    // Each item keeps the file it was listed from: its caption is only the
    // name before the first ".", which cannot be turned back into the file.
    mnLang[0]->setText(LanguageName(files[0]));
    mnLang[0]->setData(folder.filePath(files[0]));
    mnLang[0]->setVisible(true);
    for (int i = 1; i <= files.size(); ++i) {
        QAction* next = mnInterface->addAction(i < files.size() ? LanguageName(files[i]) : QString());
        next->setObjectName("mnLang");
        if (i < files.size()) next->setData(folder.filePath(files[i]));
        connect(next, &QAction::triggered, this, [this, i] { mnLang_Click(i); });
        mnLang.push_back(next);
    }
    // The last item received no file.
    mnLang.back()->setVisible(false);
}

void frmMain::RefreshCaption() {
    const QString title = FileTitle(state_.CurrentFile);
    setWindowTitle(toolkit::kProgramTitle);
    if (!title.isEmpty()) setWindowTitle(QString(toolkit::kProgramTitle) + " - " + title);
    mnFileAttr->setEnabled(state_.AttributesValid);
    mnFileClass->setEnabled(state_.AttributesValid);
    mnFileRun->setEnabled(state_.AttributesValid);
}

void frmMain::UpdateInterface() {
    // The key is made for the texts a language brings; a store that cannot
    // be written keeps the captions it has.
    static_cast<void>(registry_.OpenKey(InterfaceKeyPath()));
    for (QObject* menu : std::initializer_list<QObject*>{
             mnFile, mnOpen, mnClose, mnAbout, mnTarget, mnAdvanced, mnHeader, mnSysInfo, mnInfo, mnSettings,
             mnInterface, mnFileAttr, mnFileClass, mnFileRun, mnReview})
        ApplyMenuCaption(registry_, menu);
    FitWidth();
}

void frmMain::FitWidth() {
    // The designed width, or more when the menu bar needs it, so that no menu
    // is pushed out of sight by a longer caption or a larger font.
    const int width = std::max(toolkit::Pixels(kClientWidth), menuBar()->sizeHint().width());
    centralWidget()->setFixedSize(width, toolkit::Pixels(kClientHeight));
    setFixedSize(width, menuBar()->sizeHint().height() + centralWidget()->height());
}

QStringList frmMain::OpenFilters() {
    return {"Исполняемые файлы (*.exe *.com *.scr)", "Приложения EXE (*.exe)", "Приложения COM (*.com)",
            "Экранная заставка (*.scr)", "Все файлы (*)"};
}

void frmMain::mnOpen_Click() {
    const QString path = toolkit::OpenFileName(this, {Caption(mnOpen), QDir::currentPath(), OpenFilters()});
    if (path.isEmpty()) return;
    OpenFile(path);
}

void frmMain::OpenFile(const QString& path) {
    // The yield below could deliver another Open or drop; one examination at a time.
    if (opening_) return;
    // The store's own files are refused before anything opens them.
    if (const QString refused = StoreFileText(registry_, path); !refused.isEmpty())
        return toolkit::ShowMessage(this, refused);
    opening_ = true;
    const std::string previous = state_.CurrentFile;
    state_.CurrentFile.clear();
    RefreshCaption();
    toolkit::Yield();  // paints the bare title before the examination
    const Status examined = examiner_.ComputeFileAttributes(path.toStdString(), state_);
    state_.AttributesValid = examined.ok();
    state_.CurrentFile = state_.AttributesValid ? path.toStdString() : previous;
    opening_ = false;
    RefreshCaption();
    // The attributes window would show the earlier file.
    windows_.UnloadAttributes();
    // The file commands are disabled now: the user is told why.
    if (!examined) toolkit::ShowMessage(this, ExamineFailureText(registry_, path, examined));
}

void frmMain::ReexamineCurrentFile() {
    state_.AttributesValid = examiner_.ComputeFileAttributes(state_.CurrentFile, state_).ok();
    RefreshCaption();
    if (state_.AttributesValid) {
        windows_.RefreshAttributes();
    } else {
        windows_.UnloadAttributes();
    }
}

void frmMain::mnFileAttr_Click() { windows_.ShowAttributes(); }

void frmMain::mnFileClass_Click() { windows_.ShowClassification(); }

void frmMain::mnReview_Click() {
    if (frmReview* review = windows_.ShowReview(this))
        connect(review, &frmReview::OpenRequested, this, &frmMain::ClassifyFromReview, Qt::UniqueConnection);
}

void frmMain::ClassifyFromReview(const QString& path) {
    if (windows_.Classification()) return windows_.ShowClassification();
    OpenFile(path);
    if (state_.AttributesValid && state_.CurrentFile == path.toStdString()) mnFileClass_Click();
}

void frmMain::mnFileRun_Click() {
    const QString file = QString::fromStdString(state_.CurrentFile);
    // A program started on one of the store's files could change them beside the store's connection.
    if (const QString refused = StoreFileText(registry_, file); !refused.isEmpty())
        return toolkit::ShowMessage(this, refused);
    const Status started = toolkit::StartProgram(file, {}, toolkit::WindowState::MinimizedActive);
    if (!started)
        toolkit::ShowMessage(
            this, Text(registry_, started.IsNotFound() ? msg::kRunMissing : msg::kRunFailed, {file}));
}

void frmMain::mnClose_Click() { toolkit::EndProgram(); }

void frmMain::mnAdvanced_Click() {
    // After a change of the sequence table the current file's vector was
    // computed with the old sequences, while the attribute names follow the
    // new ones: the file is examined again, so that what is shown, classified
    // and remembered for it is its vector under the new names.
    if (!windows_.ShowAdvAttr(this) || !state_.AttributesValid) return;
    ReexamineCurrentFile();
}

void frmMain::mnTarget_Click() { windows_.ShowTargetAttr(this); }

void frmMain::mnHeader_Click() {
    // The item shows the stored setting: a write that fails leaves both as they were.
    const bool on = !state_.HeaderAttributes;
    if (const Status saved = SaveHeaderAttributes(registry_, state_, on); !saved)
        toolkit::ShowMessage(this,
                             Text(registry_, msg::kStoreFailed) + "\n\n" + ReasonText(registry_, saved));
    mnHeader->setChecked(state_.HeaderAttributes);
    // The vector already holds the header slots; the windows show and classify them from now on.
    if (state_.AttributesValid) ReexamineCurrentFile();
}

void frmMain::mnAbout_Click() { windows_.ShowAbout(this); }

void frmMain::mnSysInfo_Click() { windows_.StartSysInfo(this); }

void frmMain::mnLang_Click(int Index) {
    if (Index < 0 || Index >= static_cast<int>(mnLang.size())) return;
    const QString path = mnLang[Index]->data().toString();
    if (path.isEmpty()) return;
    toolkit::Yield();
    ParsedLanguage parsed;
    const Status imported = ImportLanguageFile(registry_, path.toStdString(), parsed);
    toolkit::Yield();
    UpdateInterface();
    windows_.ReloadAttributes();

    // The texts, Qt's own included, follow the language just imported.
    ApplyInterfaceLocale(registry_);

    if (imported && parsed.skippedLines == 0) return;
    QString text = imported
                       ? Text(registry_, msg::kLanguageSkipped, {path, QString::number(parsed.skippedLines)})
                       : LanguageFailureText(registry_, path, imported);
    const std::size_t listed = std::min(parsed.problems.size(), kListedProblems);
    for (std::size_t i = 0; i < listed; ++i)
        text += "\n" +
                Text(registry_, msg::kLanguageLine,
                     {QString::number(parsed.problems[i].line), ProblemText(registry_, parsed.problems[i])});
    if (parsed.skippedLines > listed) text += "\n...";
    toolkit::ShowMessage(this, text);
}

void frmMain::closeEvent(QCloseEvent* event) {
    event->accept();
    mnClose_Click();
}

void frmMain::dragEnterEvent(QDragEnterEvent* event) {
    if (!DroppedFile(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void frmMain::dropEvent(QDropEvent* event) {
    const QString path = DroppedFile(event->mimeData());
    if (path.isEmpty()) return;
    event->acceptProposedAction();
    OpenFile(path);
}

}  // namespace morvel
