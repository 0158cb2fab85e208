#include <QCheckBox>
#include <QGroupBox>
#include <QInputDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>

#include "EditorSupport.h"
#include "StoreReads.h"
#include "core/attributes/FileExaminer.h"
#include "core/config/ConfigTables.h"
#include "core/exchange/LanguageFile.h"
#include "core/store/KeyPaths.h"
#include "ui/Messages.h"
#include "ui/ProgramWindows.h"
#include "ui/frmAdvAttr.h"
#include "ui/frmAttributes.h"
#include "ui/frmMain.h"

namespace morvel {
namespace {

using test::Child;
using test::Click;
using Texts = std::vector<std::string>;

class frmAdvAttrTest : public test::GuiTest {
  protected:
    void SetUp() override {
        GuiTest::SetUp();
        editor = std::make_unique<frmAdvAttr>(registry, state);
    }

    // The table as the program has it after start-up.
    void Sequences(const Texts& texts) {
        ASSERT_TRUE(SaveSequenceTable(registry, state, texts).ok());
        test::LoadTables(registry, state);
    }

    // Opens the editor, runs steps in it; true when the steps closed it.
    bool Edit(const std::function<void(QDialog&)>& steps) {
        return test::RunModal(
            "frmAdvAttr", [this] { editor->ShowModal(); }, steps);
    }
    QListWidget* List(QDialog& window) { return Child<QListWidget>(window, "List1"); }
    QLineEdit* Edit1(QDialog& window) { return Child<QLineEdit>(window, "Text1"); }

    // Clicks add and answers the input box with text (Enter), or cancels it.
    void Add(QDialog& window, const QString& text, bool ok = true) {
        auto ran = test::WhenOpens("QInputDialog", [&](QDialog& box) {
            auto* input = qobject_cast<QInputDialog*>(&box);
            ASSERT_NE(input, nullptr);
            EXPECT_EQ(input->windowTitle(), "Morvel");
            EXPECT_EQ(input->labelText(), "Добавление новой последовательности");
            EXPECT_EQ(input->textValue(), "");
            test::Type(box.findChild<QLineEdit*>(), text);
            // To the box itself: under load the focus may not have arrived yet.
            QTest::keyClick(box.findChild<QLineEdit*>(), ok ? Qt::Key_Return : Qt::Key_Escape);
            EXPECT_FALSE(box.isVisible()) << "the input box stayed open";
            if (box.isVisible()) box.reject();
        });
        Click(window, "Command2");
        EXPECT_TRUE(*ran) << "the input box did not open";
    }
    void AddAll(QDialog& window, const QStringList& texts) {
        for (const QString& t : texts) Add(window, t);
    }

    Texts Table() { return SequenceList(state); }
    std::string Stored(const std::string& name) {
        std::string text;
        registry.GetKeyText(ContainKeyPath(), name, text);
        return text;
    }

    ConfigTables state;
    std::unique_ptr<frmAdvAttr> editor;
};

TEST_F(frmAdvAttrTest, OpensWithItsCaptionsTheTableAnEmptyEditBoxAndTheFocusOnTheList) {
    Sequences({"MZ", "This program"});
    ASSERT_TRUE(registry.OpenKey(InterfaceKeyPath()));
    registry.SetKeyText(InterfaceKeyPath(), "ButtonOK", "OK");
    registry.SetKeyText(InterfaceKeyPath(), "SequencesList", "Sequences to search for");
    for (int opening = 0; opening < 2; ++opening) {
        EXPECT_TRUE(Edit([&](QDialog& window) {
            EXPECT_EQ(window.windowTitle(), "Настройка дополнительных атрибутов");
            EXPECT_EQ(Child<QGroupBox>(window, "Frame1")->title(), "Sequences to search for");
            EXPECT_EQ(Child<QPushButton>(window, "Command1")->text(), "Удалить");
            EXPECT_EQ(Child<QPushButton>(window, "Command2")->text(), "Добавить");
            EXPECT_EQ(Child<QPushButton>(window, "Command3")->text(), "OK");
            EXPECT_EQ(Child<QPushButton>(window, "Command4")->text(), "Отмена");
            EXPECT_TRUE(Child<QPushButton>(window, "Command3")->isDefault());
            EXPECT_TRUE(window.isModal());
            EXPECT_EQ(test::Rows(List(window)), (QStringList{"MZ", "This program"}));
            EXPECT_EQ(test::SelectedRow(List(window)), -1);
            EXPECT_EQ(Edit1(window)->text(), "");  // also after the first opening left a text there
            EXPECT_EQ(QApplication::focusWidget(), List(window));
            EXPECT_EQ(test::TabOrder(window, 6),
                      (QStringList{"Command1", "Command2", "Text1", "Command3", "Command4", "List1"}));
            test::ClickRow(List(window), 1);
            EXPECT_EQ(Edit1(window)->text(), "This program");
            QTest::keyClick(List(window), Qt::Key_Escape);
        }));
    }
}

// The faults pinned: the first Down key in the freshly focused list selected
// the second row; after a delete the edit box showed another row's text with
// no row selected.
TEST_F(frmAdvAttrTest, TheFirstDownSelectsTheFirstRowAndADeleteEmptiesTheEditBox) {
    Sequences({"MZ", "PE", "NE"});
    EXPECT_TRUE(Edit([&](QDialog& window) {
        QListWidget* list = List(window);
        ASSERT_TRUE(test::Eventually([&] { return list->hasFocus(); }));
        QTest::keyClick(list, Qt::Key_Down);
        EXPECT_EQ(test::SelectedRow(list), 0);
        EXPECT_EQ(Edit1(window)->text(), "MZ");
        QTest::keyClick(list, Qt::Key_Down);
        EXPECT_EQ(test::SelectedRow(list), 1);

        Click(window, "Command1");
        EXPECT_EQ(test::SelectedRow(list), -1);
        EXPECT_EQ(Edit1(window)->text(), "");
        EXPECT_EQ(test::Rows(list), (QStringList{"MZ", "NE"}));
        Click(window, "Command4");
    }));
}

TEST_F(frmAdvAttrTest, OKDropsRowsThatRepeatAnEarlierOneInAnyLetterCase) {
    Sequences({"Old"});
    EXPECT_TRUE(Edit([&](QDialog& window) {
        test::ClickRow(List(window), 0);
        Click(window, "Command1");
        AddAll(window, {"MZ", "PE", "mz"});
        EXPECT_EQ(test::Rows(List(window)), (QStringList{"MZ", "PE", "mz"}));
        QTest::keyClick(List(window), Qt::Key_Return);  // Enter is OK
    }));
    EXPECT_EQ(Table(), (Texts{"MZ", "PE"}));
    EXPECT_EQ(test::Number(registry, ContainKeyPath(), "Count"), 2);
    EXPECT_EQ(Stored("Value1"), "MZ");
    EXPECT_EQ(Stored("Value2"), "PE");
    EXPECT_EQ(state.AttributeCount, 18);
    EXPECT_EQ(state.AttributeNames[17], "ContainMZ");

    EXPECT_TRUE(Edit([&](QDialog& window) {
        for (int r : {1, 0}) {  // the list emptied from the last row up
            test::ClickRow(List(window), r);
            Click(window, "Command1");
        }
        AddAll(window, {"ab", "cd", "AB", "Вирус", "вИРУС", " ", "  "});
        Click(window, "Command3");
    }));
    EXPECT_EQ(Table(), (Texts{"ab", "cd", "Вирус", " ", "  "}));
    EXPECT_EQ(Stored("Value3"), "Вирус");
}

TEST_F(frmAdvAttrTest, TheInputBoxAddsWhatIsTypedAndNothingWhenCancelledOrEmpty) {
    EXPECT_TRUE(Edit([&](QDialog& window) {
        Add(window, "This program", false);
        Add(window, "");
        EXPECT_EQ(List(window)->count(), 0);
        Add(window, "This program cannot be run in DOS mode");
        Add(window, "This program cannot be run in DOS mode");  // repeats are kept until OK
        EXPECT_EQ(List(window)->count(), 2);
        EXPECT_EQ(test::SelectedRow(List(window)), 1);  // the row just added
        Click(window, "Command3");
    }));
    EXPECT_EQ(Table(), Texts{"This program cannot be run in DOS mode"});
}

TEST_F(frmAdvAttrTest, TheEditBoxRewritesTheSelectedRowAndAnErasedRowIsDropped) {
    Sequences({"MZ", "PE", "NE"});
    EXPECT_TRUE(Edit([&](QDialog& window) {
        QListWidget* list = List(window);
        QLineEdit* edit = Edit1(window);
        test::ClickRow(list, 1);
        edit->setFocus();
        edit->end(false);
        test::Type(edit, "\\0\\0");
        EXPECT_EQ(list->item(1)->text(), "PE\\0\\0");
        EXPECT_EQ(test::SelectedRow(list), 1);

        // Selecting by keyboard too shows the row in the edit box.
        list->setFocus();
        QTest::keyClick(list, Qt::Key_Up);
        EXPECT_EQ(test::SelectedRow(list), 0);
        EXPECT_EQ(edit->text(), "MZ");
        edit->setFocus();
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Backspace);
        EXPECT_EQ(list->item(0)->text(), "");

        // Deleting leaves no row selected; typing then changes no row.
        test::ClickRow(list, 2);
        Click(window, "Command1");
        EXPECT_EQ(test::SelectedRow(list), -1);
        test::Type(edit, "x");
        EXPECT_EQ(test::Rows(list), (QStringList{"", "PE\\0\\0"}));
        // Delete without a selection does nothing, not even a beep.
        Click(window, "Command1");
        EXPECT_EQ(list->count(), 2);
        EXPECT_EQ(beeps, 0);
        Click(window, "Command3");
    }));
    EXPECT_EQ(Table(), Texts{"PE\\0\\0"});
}

TEST_F(frmAdvAttrTest, CancelEscAndTheCloseBoxDiscardTheWorkingList) {
    Sequences({"MZ", "PE"});
    for (int way = 0; way < 3; ++way) {
        EXPECT_TRUE(Edit([&](QDialog& window) {
            Add(window, "new");
            test::ClickRow(List(window), 0);
            Click(window, "Command1");
            if (way == 0) Click(window, "Command4");
            if (way == 1) QTest::keyClick(List(window), Qt::Key_Escape);
            if (way == 2) window.close();
        })) << way;
        EXPECT_EQ(Table(), (Texts{"MZ", "PE"})) << way;
        EXPECT_TRUE(Edit([&](QDialog& window) {
            EXPECT_EQ(test::Rows(List(window)), (QStringList{"MZ", "PE"})) << way;
            Click(window, "Command4");
        }));
    }
    EXPECT_EQ(test::Number(registry, ContainKeyPath(), "Count"), 2);
}

TEST_F(frmAdvAttrTest, OKWritesTheCountAndLeavesValuesAboveItInTheStore) {
    Sequences({"a", "b", "c", "d"});
    EXPECT_TRUE(Edit([&](QDialog& window) {
        for (int i = 0; i < 2; ++i) {
            test::ClickRow(List(window), 0);
            Click(window, "Command1");
        }
        Click(window, "Command3");
    }));
    EXPECT_EQ(test::Number(registry, ContainKeyPath(), "Count"), 2);
    EXPECT_EQ(Stored("Value1"), "c");
    EXPECT_EQ(Stored("Value2"), "d");
    EXPECT_EQ(Stored("Value3"), "c");
    EXPECT_EQ(Stored("Value4"), "d");

    // An empty list: "Count" 0, nothing else written.
    EXPECT_TRUE(Edit([&](QDialog& window) {
        List(window)->clear();
        Click(window, "Command3");
    }));
    EXPECT_EQ(state.SequenceCount, 0);
    EXPECT_EQ(test::Number(registry, ContainKeyPath(), "Count"), 0);
    EXPECT_EQ(Stored("Value1"), "c");
}

TEST_F(frmAdvAttrTest, ARefusedOrFailedSaveIsShownAndTheWindowKeepsItsList) {
    Texts hundred;
    for (int i = 1; i <= ConfigTables::kMaxSequences; ++i) hundred.push_back("s" + std::to_string(i));
    Sequences(hundred);
    EXPECT_TRUE(Edit([&](QDialog& window) {
        Add(window, "one too many");
        Add(window, "S1");  // a repeat does not count
        Click(window, "Command3");
        ASSERT_EQ(messages.size(), 1);
        EXPECT_TRUE(messages[0].startsWith(Text(registry, msg::kSequencesNotSaved)))
            << messages[0].toStdString();
        EXPECT_TRUE(messages[0].contains(QString::number(ConfigTables::kMaxSequences)));
        EXPECT_TRUE(window.isVisible());
        EXPECT_EQ(List(window)->count(), 102);
        EXPECT_EQ(state.SequenceCount, 100);
        EXPECT_EQ(state.SequenceTable[100], "s100");

        // Back to 100 distinct rows; then a text the store cannot hold fails the whole write.
        for (int row : {101, 1}) {
            test::ClickRow(List(window), row);
            Click(window, "Command1");
        }
        test::ClickRow(List(window), 0);
        Edit1(window)->setFocus();
        test::Type(Edit1(window), QString(1100, 'x'));
        Click(window, "Command3");
        ASSERT_EQ(messages.size(), 2);
        EXPECT_TRUE(messages[1].startsWith(Text(registry, msg::kSequencesNotSaved)));
        EXPECT_TRUE(messages[1].contains(QString::number(kMaxSequenceBytes)));
        EXPECT_TRUE(window.isVisible());
        EXPECT_EQ(List(window)->count(), 100);
        EXPECT_EQ(state.SequenceTable[1], "s1");
        EXPECT_EQ(Stored("Value1"), "s1");

        Click(window, "Command1");
        Click(window, "Command3");
    }));
    EXPECT_EQ(messages.size(), 2);
    EXPECT_EQ(state.SequenceCount, 99);
    EXPECT_EQ(state.SequenceTable[1], "s3");
    EXPECT_EQ(state.SequenceTable[99], "one too many");
    EXPECT_EQ(Stored("Value99"), "one too many");
    EXPECT_EQ(Stored("Value100"), "s100");
}

// The fault pinned: a text of 1,018 to 1,024 characters was taken, and from
// then on no file could be remembered, as "Contain" and the text make a value
// name longer than the store holds. Such a text is refused at OK, naming it.
TEST_F(frmAdvAttrTest, ATextTooLongForAnExamplesValueNameIsRefused) {
    EXPECT_TRUE(Edit([&](QDialog& window) {
        Add(window, "MZ");
        Add(window, QString(kMaxSequenceBytes + 1, 'y'));
        Click(window, "Command3");
        ASSERT_EQ(messages.size(), 1);
        EXPECT_TRUE(messages[0].contains(QString::number(kMaxSequenceBytes))) << messages[0].toStdString();
        EXPECT_TRUE(messages[0].contains("yyyy"));
        EXPECT_TRUE(window.isVisible());
        EXPECT_EQ(state.SequenceCount, 0);

        test::ClickRow(List(window), 1);
        Edit1(window)->setFocus();
        QTest::keyClick(Edit1(window), Qt::Key_End);
        QTest::keyClick(Edit1(window), Qt::Key_Backspace);
        Click(window, "Command3");
    }));
    EXPECT_EQ(messages.size(), 1);
    EXPECT_EQ(Table(), (Texts{"MZ", std::string(kMaxSequenceBytes, 'y')}));
}

// The fault pinned: a refusal named only the first refused row, and the next
// one only after another OK.
TEST_F(frmAdvAttrTest, OneRefusalNamesEveryRefusedRow) {
    EXPECT_TRUE(Edit([&](QDialog& window) {
        AddAll(window, {"✓check", "MZ", "日本"});
        Click(window, "Command3");
        ASSERT_EQ(messages.size(), 1);
        EXPECT_TRUE(messages[0].contains("✓check") && messages[0].contains("日本"))
            << messages[0].toStdString();
        EXPECT_FALSE(messages[0].contains("MZ"));
        EXPECT_EQ(state.SequenceCount, 0);
        Click(window, "Command4");
    }));
}

// The fault pinned: a row added to a long list was out of sight, or cut in half.
TEST_F(frmAdvAttrTest, AnAddedRowIsSelectedAndWhollyInSight) {
    Texts many;
    for (int i = 1; i < ConfigTables::kMaxSequences; ++i) many.push_back("s" + std::to_string(i));
    Sequences(many);
    EXPECT_TRUE(Edit([&](QDialog& window) {
        Add(window, "the new one");
        QListWidget* list = List(window);
        const int last = list->count() - 1;
        EXPECT_EQ(test::SelectedRow(list), last);
        EXPECT_TRUE(list->viewport()->rect().contains(list->visualItemRect(list->item(last))));
        EXPECT_EQ(Edit1(window)->text(), "the new one");
        Click(window, "Command4");
    }));
}

// The editor opened from the main window, as the program wires it.
class frmAdvAttrFromMainTest : public frmAdvAttrTest {
  protected:
    void SetUp() override {
        frmAdvAttrTest::SetUp();
        file = dir / "setup.exe";
        test::WriteFile(file, "MZ" + std::string(100, '\0') + "PE");
        Sequences({"MZ"});
        state.PlatformVersion = ConfigTables::kNtPlatformVersion;
        state.CurrentFile = file;
        state.AttributesValid = examiner.ComputeFileAttributes(file, state).ok();
        ASSERT_TRUE(state.AttributesValid);
        examiner.MarkRemembered(examiner.Generation());  // as after a Remember
        windows = std::make_unique<ProgramWindows>(registry, state, examiner, examples);
        main = std::make_unique<frmMain>(registry, state, examiner, *windows);
        main->show();
    }
    // The texts the open attributes window lists.
    QStringList AttributesList() {
        QStringList rows;
        if (frmAttributes* attributes = windows->Attributes())
            for (QListWidgetItem* item :
                 attributes->findChild<QListWidget*>("List1")->findItems("*", Qt::MatchWildcard))
                rows << item->text();
        return rows;
    }
    void ChooseAdvanced() {
        test::ChooseMenuItem(main->menuBar(), main->findChild<QMenu*>("mnSettings"),
                             main->findChild<QAction*>("mnAdvanced"));
    }
    bool EditFromMenu(const std::function<void(QDialog&)>& steps) {
        return test::RunModal(
            "frmAdvAttr", [this] { ChooseAdvanced(); }, steps);
    }

    std::string file;
    FileExaminer examiner;
    ExampleStore examples{registry};
    std::unique_ptr<ProgramWindows> windows;
    std::unique_ptr<frmMain> main;
};

// The fault pinned: the attribute names stayed those of the start-up while the
// table changed, so a file examined afterwards was remembered with the
// presence of one sequence under the name of another.
//
// The fault pinned next: OK with no change examined the file again and closed
// the attributes window; now only a changed table is examined again, and an
// open attributes window shows the new vector.
TEST_F(frmAdvAttrFromMainTest, AfterOKTheNamesFollowTheTableAndTheFileIsExaminedAgain) {
    ASSERT_EQ(examiner.AttributeVector()[17], 1);  // MZ found
    windows->ShowAttributes();
    frmAttributes* attributes = windows->Attributes();
    ASSERT_EQ(AttributesList(), QStringList{"MZ"});
    EXPECT_TRUE(EditFromMenu([&](QDialog& window) {
        Add(window, "absent");
        Click(window, "Command4");
    }));
    EXPECT_FALSE(examiner.AttributesFresh());  // cancelled: not examined again
    EXPECT_TRUE(EditFromMenu([&](QDialog& window) { Click(window, "Command3"); }));
    EXPECT_FALSE(examiner.AttributesFresh());  // nothing changed: not examined again
    EXPECT_EQ(windows->Attributes(), attributes);

    EXPECT_TRUE(EditFromMenu([&](QDialog& window) {
        test::ClickRow(List(window), 0);
        Click(window, "Command1");
        AddAll(window, {"absent", "pe"});
        Click(window, "Command3");
    }));
    EXPECT_EQ(state.AttributeCount, 18);
    EXPECT_EQ(state.AttributeNames[17], "Containabsent");
    EXPECT_EQ(state.AttributeNames[18], "Containpe");
    EXPECT_TRUE(state.AttributesValid);
    EXPECT_EQ(state.CurrentFile, file);
    EXPECT_TRUE(examiner.AttributesFresh());
    EXPECT_EQ(examiner.AttributeVector()[17], 2);
    EXPECT_EQ(examiner.AttributeVector()[18], 1);
    // The same attributes window, showing the new vector.
    EXPECT_EQ(windows->Attributes(), attributes);
    EXPECT_EQ(AttributesList(), QStringList{"pe"});
    EXPECT_EQ(main->windowTitle(), "Morvel - setup.exe");
}

// The fault pinned: a changed table brought the open attributes window back
// with its saved options, throwing away the list and the look chosen in it.
TEST_F(frmAdvAttrFromMainTest, AChangedTableKeepsTheChoicesMadeInTheAttributesWindow) {
    windows->ShowAttributes();
    frmAttributes* attributes = windows->Attributes();
    ASSERT_NE(attributes, nullptr);
    QRadioButton* notFound = nullptr;
    for (QRadioButton* b : attributes->findChildren<QRadioButton*>("Option1"))
        if (b->property("Index").toInt() == 1) notFound = b;
    ASSERT_NE(notFound, nullptr);
    QTest::mouseClick(notFound, Qt::LeftButton);
    auto* look = attributes->findChild<QCheckBox*>("Check6");
    QTest::mouseClick(look, Qt::LeftButton, {}, QPoint(4, look->height() / 2));
    ASSERT_TRUE(look->isChecked());

    EXPECT_TRUE(EditFromMenu([&](QDialog& window) {
        Add(window, "absent");
        Click(window, "Command3");
    }));
    EXPECT_EQ(windows->Attributes(), attributes);
    EXPECT_TRUE(notFound->isChecked());
    EXPECT_TRUE(look->isChecked());
    EXPECT_EQ(AttributesList(), QStringList{"absent"});
    EXPECT_EQ(test::Number(registry, kBaseKey, kShowFoundValue), 0);  // chosen, not saved
}

// The fault pinned: the editor opened at the screen's top left corner,
// centred on the main window, which is only a title bar and a menu.
TEST_F(frmAdvAttrFromMainTest, TheEditorOpensWholeOnTheScreenNearTheMainWindow) {
    main->move(200, 150);
    EXPECT_TRUE(EditFromMenu([&](QDialog& window) {
        const QRect area = window.screen()->availableGeometry();
        EXPECT_TRUE(area.contains(window.geometry())) << window.x() << "," << window.y();
        EXPECT_EQ(window.x(), main->frameGeometry().x());
        EXPECT_GT(window.y(), main->frameGeometry().bottom());
        EXPECT_LT(window.y() - main->frameGeometry().bottom(), window.height());
        Click(window, "Command4");
    }));
}

}  // namespace
}  // namespace morvel
