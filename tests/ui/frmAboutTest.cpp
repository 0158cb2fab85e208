#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <cstdlib>

#include "GuiSupport.h"
#include "StoreReads.h"
#include "ui/frmAbout.h"

namespace morvel {
namespace {

// Sets an environment variable for one test and restores it afterwards.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const QByteArray& value)
        : name_(name), old_(qgetenv(name)), had_(qEnvironmentVariableIsSet(name)) {
        qputenv(name, value);
    }
    ~ScopedEnv() {
        if (had_) {
            qputenv(name_, old_);
        } else {
            qunsetenv(name_);
        }
    }

  private:
    const char* name_;
    QByteArray old_;
    bool had_;
};

class frmAboutTest : public test::GuiTest {
  protected:
    frmAbout* Open() {
        about = new frmAbout(registry);
        about->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(about.data()));
        return about.data();
    }
    // A folder on PATH holding the given fake programs.
    QByteArray PathWith(std::initializer_list<const char*> programs) {
        const std::string bin = dir / "bin";
        std::filesystem::create_directories(bin);
        for (const char* p : programs) {
            test::WriteFile(bin + "/" + p, "#!/bin/sh\n");
            std::filesystem::permissions(bin + "/" + p, std::filesystem::perms::owner_all);
        }
        return QByteArray::fromStdString(bin);
    }

    QPointer<frmAbout> about;
};

TEST_F(frmAboutTest, ShowsTitleVersionAndDescription) {
    Open();
    EXPECT_EQ(about->windowTitle(), "О программе Morvel");
    EXPECT_EQ(about->findChild<QLabel*>("lblTitle")->text(), "Morvel");
    EXPECT_EQ(about->findChild<QLabel*>("lblVersion")->text(), QString("Version %1.%2 Build %3")
                                                                   .arg(MORVEL_VERSION_MAJOR)
                                                                   .arg(MORVEL_VERSION_MINOR)
                                                                   .arg(MORVEL_VERSION_PATCH));
    const QString description = about->findChild<QLabel*>("lblDescription")->text();
    EXPECT_TRUE(description.startsWith("Программа Morvel предназначена для кла"));
    EXPECT_TRUE(description.contains(QString("кла") + "cc" + "ификации"));  // Latin c, twice
    EXPECT_TRUE(description.endsWith("пункт \"Morvel\""));
    EXPECT_FALSE(about->isModal());
    EXPECT_FALSE(about->findChild<QLabel*>("picIcon")->pixmap().isNull());
}

TEST_F(frmAboutTest, VersionTextFollowsTheProjectVersion) {
    EXPECT_EQ(frmAbout::VersionText().toStdString(), "Version " + std::to_string(MORVEL_VERSION_MAJOR) + "." +
                                                         std::to_string(MORVEL_VERSION_MINOR) + " Build " +
                                                         std::to_string(MORVEL_VERSION_PATCH));
    EXPECT_TRUE(QString(MORVEL_VERSION)
                    .startsWith(QString("%1.%2.%3")
                                    .arg(MORVEL_VERSION_MAJOR)
                                    .arg(MORVEL_VERSION_MINOR)
                                    .arg(MORVEL_VERSION_PATCH)));
}

TEST_F(frmAboutTest, EscEnterAndOKCloseTheBox) {
    for (int key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter}) {
        Open();
        QTest::keyClick(about.data(), static_cast<Qt::Key>(key));
        EXPECT_TRUE(test::Eventually([&] { return about.isNull(); }));  // unloaded: deleted on close
    }
    Open();
    QTest::mouseClick(about->findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
    EXPECT_TRUE(test::Eventually([&] { return about.isNull(); }));
}

TEST_F(frmAboutTest, SystemInformationStartsTheDesktopsToolFirstAndTheFirstFoundOnly) {
    EXPECT_EQ(frmAbout::SysInfoTools("ubuntu:GNOME").front(),
              (QStringList{"gnome-control-center", "info-overview"}));
    EXPECT_EQ(frmAbout::SysInfoTools("").front(), QStringList{"hardinfo2"});
    EXPECT_EQ(frmAbout::SysInfoTools("KDE").size(), 4u);

    const ScopedEnv desktop("XDG_CURRENT_DESKTOP", "XFCE");
    const ScopedEnv path("PATH", PathWith({"cpu-x", "hardinfo", "xfce4-about"}));
    frmAbout box(registry);
    box.StartSysInfo();
    ASSERT_EQ(started.size(), 1);
    EXPECT_TRUE(started[0][0].endsWith("/bin/xfce4-about"));
    EXPECT_TRUE(messages.isEmpty());

    // The first tool found failing to start ends in the message, without trying others.
    startResult = Status::IOError("cannot start");
    box.StartSysInfo();
    EXPECT_EQ(started.size(), 2);
    EXPECT_EQ(messages, QStringList{"System Information Is Unavailable At This Time"});
}

TEST_F(frmAboutTest, WithoutAToolTheMessageSaysSo) {
    const ScopedEnv desktop("XDG_CURRENT_DESKTOP", "KDE");
    const ScopedEnv path("PATH", PathWith({}));
    frmAbout(registry).StartSysInfo();
    EXPECT_TRUE(started.isEmpty());
    EXPECT_EQ(messages, QStringList{"System Information Is Unavailable At This Time"});
}

TEST_F(frmAboutTest, GetKeyValueReadsTextsAndNumbersFromTheStore) {
    ASSERT_TRUE(registry.OpenKey("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO"));
    registry.SetKeyText("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO", "PATH", "/usr/bin/hardinfo");
    registry.SetKeyNumber("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO", "Number", 0x1100);
    registry.SetKeyValue("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO", "Empty", Registry::kTypeText, "");
    const frmAbout box(registry);
    std::string value = "old";
    EXPECT_TRUE(box.GetKeyValue("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO", "PATH", value));
    EXPECT_EQ(value, "/usr/bin/hardinfo");
    EXPECT_TRUE(box.GetKeyValue("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO", "Number", value));
    EXPECT_EQ(value, "&h1100");
    // A value of zero bytes reads as missing rather than ending the read with an error.
    EXPECT_FALSE(box.GetKeyValue("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO", "Empty", value));
    EXPECT_EQ(value, "");
    value = "old";
    EXPECT_FALSE(box.GetKeyValue("SOFTWARE\\Microsoft\\Shared Tools Location", "MSINFO", value));
    EXPECT_EQ(value, "");
    EXPECT_FALSE(test::Exists(registry, "SOFTWARE\\Microsoft\\Shared Tools Location"));
}

}  // namespace
}  // namespace morvel
