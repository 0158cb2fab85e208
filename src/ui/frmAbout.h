// frmAbout: the About box (the program's title, version and purpose) and the
// starting of the desktop's system-information tool.
//
// One instance per running program, created on first use and shown without
// being modal; OK, Enter and Esc unload it. Used on the user-interface thread.
#pragma once

#include <QDialog>
#include <string>
#include <string_view>

#include "core/store/Registry.h"

class QFrame;
class QLabel;
class QPushButton;

namespace morvel {

class frmAbout : public QDialog {
    Q_OBJECT

  public:
    frmAbout(const Registry& registry, QWidget* parent = nullptr);

    // "Version MAJOR.MINOR Build REVISION" of this program.
    static QString VersionText();

    // Starts the first system-information tool found (the desktop's own first,
    // then the general ones); when none is found or it cannot be started,
    // says so in a message box.
    void StartSysInfo();

    // The tools StartSysInfo tries, in order, for the desktop named by
    // desktop (a colon-separated XDG_CURRENT_DESKTOP): program and arguments.
    static std::vector<QStringList> SysInfoTools(const QString& desktop);

    // Reads the value SubKeyRef of the key KeyName from the store. Text reads
    // as itself, a number as "&h" and its hexadecimal digits; a value of any
    // other type is found and leaves KeyVal as it was. A missing key or value,
    // and a value of zero bytes, give false and an empty KeyVal.
    bool GetKeyValue(std::string_view KeyName, std::string_view SubKeyRef, std::string& KeyVal) const;

    void cmdOK_Click();

  private:
    void Form_Load();

    const Registry& registry_;
    QLabel* picIcon = nullptr;
    QLabel* lblTitle = nullptr;
    QLabel* lblVersion = nullptr;
    QLabel* lblDescription = nullptr;
    QFrame* Line1 = nullptr;
    QPushButton* cmdOK = nullptr;
};

}  // namespace morvel
