#include <QCheckBox>
#include <QDate>
#include <QDialog>
#include <QFileDialog>
#include <QGroupBox>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QTreeView>
#include <algorithm>
#include <memory>

#include "GuiSupport.h"
#include "core/exchange/LanguageFile.h"
#include "core/store/KeyPaths.h"
#include "ui/Captions.h"
#include "ui/toolkit.h"

namespace morvel {
namespace {

TEST(TwipsTest, FifteenTwipsAreOnePixelRoundedToTheNearest) {
    static_assert(toolkit::Pixels(4575) == 305);
    static_assert(toolkit::Pixels(15) == 1);
    static_assert(toolkit::Pixels(7) == 0 && toolkit::Pixels(8) == 1);
    static_assert(toolkit::Pixels(-8) == -1);
    static_assert(toolkit::Twips(toolkit::Pixels(1335)) == 1335);
    QWidget parent;
    QLabel label(&parent);
    toolkit::PlaceTwips(label, 240, 360, 1485, 195);
    EXPECT_EQ(label.geometry(), QRect(16, 24, 99, 13));
}

class ToolkitDialogTest : public test::GuiTest {
  protected:
    void SetUp() override {
        GuiTest::SetUp();
        toolkit::SetHooks({});  // the real dialogs
    }
};

TEST_F(ToolkitDialogTest, TheMessageBoxIsTitledMorvelWithOnlyOK) {
    bool ran = false;
    test::WhenModalOpens(
        [](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            ASSERT_NE(box, nullptr);
            EXPECT_EQ(box->windowTitle(), "Morvel");
            EXPECT_EQ(box->text(), "Something happened");
            EXPECT_EQ(box->buttons().size(), 1);
            QTest::keyClick(box, Qt::Key_Return);
        },
        &ran);
    toolkit::ShowMessage(nullptr, "Something happened");
    EXPECT_TRUE(ran);
}

TEST_F(ToolkitDialogTest, TheInputBoxReturnsTheTextOrEmptyOnCancel) {
    bool ran = false;
    test::WhenModalOpens(
        [](QWidget* modal) {
            auto* dialog = qobject_cast<QInputDialog*>(modal);
            ASSERT_NE(dialog, nullptr);
            EXPECT_EQ(dialog->windowTitle(), "Morvel");
            EXPECT_EQ(dialog->labelText(), "Добавление новой последовательности");
            auto* edit = dialog->findChild<QLineEdit*>();
            edit->selectAll();
            QTest::keyClicks(edit, "This program");
            QTest::keyClick(edit, Qt::Key_Return);
        },
        &ran);
    EXPECT_EQ(toolkit::InputBox(nullptr, "Добавление новой последовательности", "Morvel", "MZ"),
              "This program");
    EXPECT_TRUE(ran);

    ran = false;
    test::WhenModalOpens([](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Escape); }, &ran);
    EXPECT_EQ(toolkit::InputBox(nullptr, "Prompt", "Morvel", "kept?"), "");
    EXPECT_TRUE(ran);
}

// The fault pinned: in the Russian interface the open dialog wrote sizes and
// dates the English way ("158.23 KiB", "8 Dec 2026"), as the system's locale has them.
TEST_F(ToolkitDialogTest, TheOpenDialogWritesSizesAndDatesTheWayOfTheInterfacesLanguage) {
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    test::WriteFile(dir / "big.exe", std::string(162000, 'x'));
    std::unique_ptr<QFileDialog> dialog(
        toolkit::MakeOpenDialog(nullptr, {"Open", QString::fromStdString(dir.path()), {"All (*)"}}));
    dialog->setViewMode(QFileDialog::Detail);
    dialog->show();
    auto* view = dialog->findChild<QTreeView*>("treeView");
    ASSERT_NE(view, nullptr);
    QModelIndex size, date;
    ASSERT_TRUE(test::Eventually([&] {
        const QModelIndex root = view->rootIndex();
        for (int row = 0; row < view->model()->rowCount(root); ++row)
            if (view->model()->index(row, 0, root).data().toString() == "big.exe") {
                size = view->model()->index(row, 1, root);
                date = view->model()->index(row, 3, root);
                return true;
            }
        return false;
    }));
    const QString sizeText = size.data().toString();
    const QString dateText = date.data().toString();
    QLocale::setDefault(before);
    EXPECT_TRUE(sizeText.contains(QLocale(QLocale::Russian).decimalPoint())) << sizeText.toStdString();
    EXPECT_FALSE(std::any_of(dateText.begin(), dateText.end(), [](QChar c) { return c.isLetter(); }))
        << dateText.toStdString();
    EXPECT_TRUE(dateText.contains(QString::number(QDate::currentDate().year()))) << dateText.toStdString();
}

TEST_F(ToolkitDialogTest, StartingAMissingOrUnopenableFileFailsWithAReason) {
    const Status missing = toolkit::StartProgram(QString::fromStdString(dir / "nothing.exe"), {},
                                                 toolkit::WindowState::MinimizedActive);
    EXPECT_FALSE(missing.ok());
    EXPECT_NE(missing.message().find("nothing.exe"), std::string::npos);
}

TEST_F(ToolkitDialogTest, TheProgramFolderAndVersion) {
    EXPECT_EQ(toolkit::ProgramFolder(), QCoreApplication::applicationDirPath());
    toolkit::Hooks h;
    h.programFolder = "/elsewhere";
    toolkit::SetHooks(h);
    EXPECT_EQ(toolkit::ProgramFolder(), "/elsewhere");
    const toolkit::Version v = toolkit::ProgramVersion();
    EXPECT_EQ(QString("%1.%2.%3").arg(v.major).arg(v.minor).arg(v.revision), MORVEL_VERSION);
}

TEST(TimerTest, AnIntervalOfZeroStopsTheTimer) {
    QTimer timer;
    toolkit::SetInterval(timer, 1);
    EXPECT_TRUE(timer.isActive());
    EXPECT_EQ(timer.interval(), 1);
    toolkit::SetInterval(timer, 0);
    EXPECT_FALSE(timer.isActive());
}

class CaptionTest : public test::GuiTest {
  protected:
    void Store(const std::string& name, const std::string& text) {
        ASSERT_TRUE(registry.OpenKey(InterfaceKeyPath()));
        registry.SetKeyValue(InterfaceKeyPath(), name, Registry::kTypeText, text + std::string(1, '\0'));
    }
};

TEST_F(CaptionTest, StoredTextsReplaceCaptionsOfEveryKindAndMissingOnesLeaveThem) {
    Store("FileAttributes", "File attributes");
    Store("FullName", "Full file name:");
    Store("ButtonClose", "Close");
    Store("GeneralAttributes", "General");
    Store("ListSort", "");
    QDialog window;
    window.setWindowTitle("Атрибуты файла");
    QLabel label("Полное имя файла:", &window);
    QPushButton button("Закрыть", &window);
    QGroupBox frame("Основные атрибуты", &window);
    QCheckBox check("Сортировать", &window);
    QCheckBox untouched("Объёмный", &window);

    EXPECT_TRUE(ApplyCaption(registry, &window, "FileAttributes"));
    EXPECT_TRUE(ApplyCaption(registry, &label, "FullName"));
    EXPECT_TRUE(ApplyCaption(registry, &button, "ButtonClose"));
    EXPECT_TRUE(ApplyCaption(registry, &frame, "GeneralAttributes"));
    EXPECT_TRUE(ApplyCaption(registry, &check, "ListSort"));
    EXPECT_FALSE(ApplyCaption(registry, &untouched, "List3DEffect"));
    EXPECT_EQ(window.windowTitle(), "File attributes");
    EXPECT_EQ(label.text(), "Full file name:");
    EXPECT_EQ(label.width(), label.sizeHint().width());  // the label follows its text
    EXPECT_EQ(button.text(), "Close");
    EXPECT_EQ(frame.title(), "General");
    EXPECT_EQ(check.text(), "");  // a stored empty text blanks the caption
    EXPECT_EQ(untouched.text(), "Объёмный");
    EXPECT_EQ(Caption(&frame), "General");
}

}  // namespace
}  // namespace morvel
