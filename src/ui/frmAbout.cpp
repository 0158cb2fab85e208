#include "ui/frmAbout.h"

#include <QFrame>
#include <QLabel>
#include <QProcessEnvironment>
#include <QPushButton>
#include <QStandardPaths>

#include "ui/toolkit.h"

namespace morvel {

using toolkit::PlaceTwips;

frmAbout::frmAbout(const Registry& registry, QWidget* parent) : QDialog(parent), registry_(registry) {
    setObjectName("frmAbout");
    setWindowTitle("О программе Morvel");
    setWindowIcon(toolkit::ProgramIcon());
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(toolkit::Pixels(5730), toolkit::Pixels(3420));

    picIcon = new QLabel(this);
    picIcon->setObjectName("picIcon");
    picIcon->setPixmap(toolkit::ProgramIcon().pixmap(32, 32));
    PlaceTwips(*picIcon, 240, 240, 540, 540);

    lblTitle = new QLabel("Morvel", this);
    lblTitle->setObjectName("lblTitle");
    QFont titleFont = lblTitle->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.6);
    titleFont.setBold(true);
    lblTitle->setFont(titleFont);
    PlaceTwips(*lblTitle, 1050, 240, 4400, 480);

    lblVersion = new QLabel(this);
    lblVersion->setObjectName("lblVersion");
    PlaceTwips(*lblVersion, 1050, 780, 4400, 255);

    lblDescription = new QLabel(
        "Программа Morvel предназначена для клаccификации исполняемых файлов. Вы можете получить "
        "дополнительные сведения об исполняемом файле, выбрав в его контекстном меню в проводнике пункт "
        "\"Morvel\"",
        this);
    lblDescription->setObjectName("lblDescription");
    lblDescription->setWordWrap(true);
    lblDescription->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    PlaceTwips(*lblDescription, 1050, 1170, 4400, 1350);

    Line1 = new QFrame(this);
    Line1->setObjectName("Line1");
    Line1->setFrameShape(QFrame::HLine);
    Line1->setFrameShadow(QFrame::Sunken);
    PlaceTwips(*Line1, 240, 2640, 5250, 30);

    cmdOK = new QPushButton("OK", this);
    cmdOK->setObjectName("cmdOK");
    cmdOK->setDefault(true);
    cmdOK->setAutoDefault(true);
    PlaceTwips(*cmdOK, 4230, 2835, 1260, 375);
    connect(cmdOK, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);
    // Esc reaches QDialog::reject(), which closes the box as OK does.

    Form_Load();
}

void frmAbout::Form_Load() { lblVersion->setText(VersionText()); }

QString frmAbout::VersionText() {
    const toolkit::Version v = toolkit::ProgramVersion();
    return QString("Version %1.%2 Build %3").arg(v.major).arg(v.minor).arg(v.revision);
}

void frmAbout::cmdOK_Click() { close(); }

std::vector<QStringList> frmAbout::SysInfoTools(const QString& desktop) {
    std::vector<QStringList> tools;
    for (const QString& name : desktop.split(':', Qt::SkipEmptyParts)) {
        const QString d = name.trimmed().toUpper();
        if (d == "KDE") tools.push_back({"kinfocenter"});
        if (d == "GNOME") tools.push_back({"gnome-control-center", "info-overview"});
        if (d == "XFCE") tools.push_back({"xfce4-about"});
        if (d == "MATE") tools.push_back({"mate-system-monitor", "--show-system-tab"});
    }
    for (const char* general : {"hardinfo2", "hardinfo", "cpu-x"}) tools.push_back({general});
    return tools;
}

void frmAbout::StartSysInfo() {
    const QString desktop = QProcessEnvironment::systemEnvironment().value("XDG_CURRENT_DESKTOP");
    for (const QStringList& tool : SysInfoTools(desktop)) {
        const QString path = QStandardPaths::findExecutable(tool.first());
        if (path.isEmpty()) continue;
        // The first tool found is the one used; a failure to start it ends in the message.
        if (toolkit::StartProgram(path, tool.mid(1), toolkit::WindowState::NormalActive)) return;
        break;
    }
    toolkit::ShowMessage(parentWidget(), "System Information Is Unavailable At This Time");
}

bool frmAbout::GetKeyValue(std::string_view KeyName, std::string_view SubKeyRef, std::string& KeyVal) const {
    return registry_.GetKeyText(KeyName, SubKeyRef, KeyVal).ok();
}

}  // namespace morvel
