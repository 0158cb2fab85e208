#include <QComboBox>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "EditorSupport.h"
#include "StoreReads.h"
#include "core/config/ConfigTables.h"
#include "core/exchange/LanguageFile.h"
#include "core/store/KeyPaths.h"
#include "ui/Messages.h"
#include "ui/frmTargetAttr.h"

namespace morvel {

void PrintTo(const TargetEntry& t, std::ostream* os) {
    *os << "{" << t.Id << ", " << t.Name << ", " << t.Method << "}";
}

namespace {

using test::Child;
using test::Click;

// What the properties dialog is to receive: a text for a box is typed over
// what the box holds; a method is chosen with the keyboard (-1: leave it).
struct Answer {
    QString id;
    QString name;
    int method = -1;
    bool ok = true;
};

class frmTargetAttrTest : public test::GuiTest {
  protected:
    void SetUp() override {
        GuiTest::SetUp();
        editor = std::make_unique<frmTargetAttr>(registry, state);
    }

    void Targets(std::vector<TargetEntry> rows) { ASSERT_TRUE(SaveTargetTable(registry, state, rows).ok()); }

    // Opens the editor, runs steps in it; true when the steps closed it.
    bool Edit(const std::function<void(QDialog&)>& steps) {
        return test::RunModal(
            "frmTargetAttr", [this] { editor->ShowModal(); }, steps);
    }
    QListWidget* List(QDialog& window) { return Child<QListWidget>(window, "List1"); }

    // Clicks button (add or properties) and answers the properties dialog it
    // opens; seen receives what the dialog showed when it opened.
    void ThroughProperties(QDialog& window, const char* button, const Answer& answer, Answer* seen = nullptr,
                           bool* idEnabled = nullptr) {
        auto ran = test::WhenOpens("prpTarget", [&](QDialog& dialog) {
            auto* id = Child<QLineEdit>(dialog, "Text1");
            auto* name = Child<QLineEdit>(dialog, "Text2");
            auto* method = Child<QComboBox>(dialog, "Combo1");
            if (seen) *seen = {id->text(), name->text(), method->currentIndex()};
            if (idEnabled) *idEnabled = id->isEnabled();
            if (!answer.id.isNull()) {
                id->selectAll();
                QTest::keyClick(id, Qt::Key_Delete);
                test::Type(id, answer.id);
            }
            if (!answer.name.isNull()) {
                name->selectAll();
                QTest::keyClick(name, Qt::Key_Delete);
                test::Type(name, answer.name);
            }
            if (answer.method >= 0) {
                method->setFocus();
                QTest::keyClick(method, Qt::Key_Home);
                for (int i = 0; i < answer.method; ++i) QTest::keyClick(method, Qt::Key_Down);
            }
            QTest::keyClick(QApplication::focusWidget(), answer.ok ? Qt::Key_Return : Qt::Key_Escape);
            // A refused OK leaves the dialog open: it is cancelled then.
            if (dialog.isVisible()) dialog.reject();
        });
        Click(window, button);
        EXPECT_TRUE(*ran) << "the properties dialog did not open";
    }

    std::string Stored(const std::string& name) {
        std::string text;
        registry.GetKeyText(TargetKeyPath(), name, text);
        return text;
    }
    std::vector<TargetEntry> Table() { return TargetList(state); }

    ConfigTables state;
    std::unique_ptr<frmTargetAttr> editor;
};

TEST(frmTargetAttrRowTest, TheNameBeginsInColumn21AfterAtLeastOneSpace) {
    EXPECT_EQ(frmTargetAttr::ListRow("abc", "Name"), "abc" + QString(17, ' ') + "Name");
    EXPECT_EQ(frmTargetAttr::ListRow("Вид", "Тип"), "Вид" + QString(17, ' ') + "Тип");
    EXPECT_EQ(frmTargetAttr::ListRow(QString(19, 'x'), "N"), QString(19, 'x') + " N");
    EXPECT_EQ(frmTargetAttr::ListRow(QString(20, 'x'), "N"), QString(20, 'x') + " N");
    EXPECT_EQ(frmTargetAttr::ListRow(QString(33, 'x'), "N"), QString(33, 'x') + " N");
    EXPECT_EQ(frmTargetAttr::ListRow("", ""), QString(20, ' '));
    // A character outside the basic plane is one column, not two UTF-16 units.
    EXPECT_EQ(frmTargetAttr::ListRow(QString::fromUtf8("\xF0\x9F\x98\x80"), "N"),
              QString::fromUtf8("\xF0\x9F\x98\x80") + QString(19, ' ') + "N");
}

TEST_F(frmTargetAttrTest, OpensWithItsCaptionsAFixedPitchListAndTheFocusOnTheList) {
    Targets({{"os", "Операционная система", "ID3-based"}, {"kind", "Вид", "Free Bayes"}});
    EXPECT_TRUE(Edit([&](QDialog& window) {
        EXPECT_EQ(window.windowTitle(), "Настройка целевых атрибутов");
        EXPECT_EQ(Child<QGroupBox>(window, "Frame1")->title(), "Список целевых атрибутов");
        EXPECT_EQ(Child<QPushButton>(window, "Command1")->text(), "Добавить");
        EXPECT_EQ(Child<QPushButton>(window, "Command2")->text(), "Удалить");
        EXPECT_EQ(Child<QPushButton>(window, "Command3")->text(), "Закрыть");
        EXPECT_EQ(Child<QPushButton>(window, "Command5")->text(), "Свойства");
        EXPECT_TRUE(Child<QPushButton>(window, "Command3")->isDefault());
        EXPECT_TRUE(window.isModal());
        QListWidget* list = List(window);
        EXPECT_EQ(test::Rows(list), (QStringList{frmTargetAttr::ListRow("os", "Операционная система"),
                                                 frmTargetAttr::ListRow("kind", "Вид")}));
        EXPECT_EQ(test::SelectedRow(list), -1);
        EXPECT_TRUE(QFontInfo(list->font()).fixedPitch());
        EXPECT_NEAR(list->font().pointSizeF(), 8.25, 0.01);
        EXPECT_EQ(QApplication::focusWidget(), list);
        EXPECT_EQ(test::TabOrder(window, 5),
                  (QStringList{"Command1", "Command2", "Command5", "Command3", "List1"}));
        QTest::keyClick(list, Qt::Key_Escape);
    }));
}

TEST_F(frmTargetAttrTest, CaptionsComeFromTheInterfaceKeyWhereItHasThem) {
    ASSERT_TRUE(registry.OpenKey(InterfaceKeyPath()));
    registry.SetKeyText(InterfaceKeyPath(), "CustomizeTarget", "Target attribute settings");
    registry.SetKeyText(InterfaceKeyPath(), "ButtonProp", "Properties");
    registry.SetKeyText(InterfaceKeyPath(), "TargetProp", "Target attribute properties");
    registry.SetKeyText(InterfaceKeyPath(), "TargetMethod", "Method:");
    EXPECT_TRUE(Edit([&](QDialog& window) {
        EXPECT_EQ(window.windowTitle(), "Target attribute settings");
        EXPECT_EQ(Child<QPushButton>(window, "Command5")->text(), "Properties");
        EXPECT_EQ(Child<QPushButton>(window, "Command1")->text(), "Добавить");
        auto ran = test::WhenOpens("prpTarget", [](QDialog& dialog) {
            EXPECT_EQ(dialog.windowTitle(), "Target attribute properties");
            EXPECT_EQ(Child<QLabel>(dialog, "Label3")->text(), "Method:");
            EXPECT_EQ(Child<QLabel>(dialog, "Label1")->text(), "Идентификатор:");
            QTest::keyClick(&dialog, Qt::Key_Escape);
        });
        Click(window, "Command1");
        EXPECT_TRUE(*ran);
        Click(window, "Command3");
    }));
}

// The fault pinned: the first Down key in the freshly focused list selected
// the second row.
TEST_F(frmTargetAttrTest, TheFirstDownSelectsTheFirstRow) {
    Targets({{"os", "OS", "ID3-based"}, {"lang", "Language", "Naive Bayes"}});
    EXPECT_TRUE(Edit([&](QDialog& window) {
        QListWidget* list = List(window);
        ASSERT_TRUE(test::Eventually([&] { return list->hasFocus(); }));
        QTest::keyClick(list, Qt::Key_Down);
        EXPECT_EQ(test::SelectedRow(list), 0);
        QTest::keyClick(list, Qt::Key_Down);
        EXPECT_EQ(test::SelectedRow(list), 1);
        QTest::keyClick(list, Qt::Key_Escape);
    }));
}

TEST_F(frmTargetAttrTest, WithNoTargetsDeleteAndPropertiesOnlyBeep) {
    EXPECT_TRUE(Edit([&](QDialog& window) {
        EXPECT_EQ(List(window)->count(), 0);
        Click(window, "Command2");
        Click(window, "Command5");
        EXPECT_EQ(beeps, 2);
        EXPECT_TRUE(window.isVisible());
        QTest::keyClick(List(window), Qt::Key_Escape);
    }));
    EXPECT_EQ(state.TargetCount, 0);
    EXPECT_FALSE(test::Exists(registry, TargetKeyPath()));
}

TEST_F(frmTargetAttrTest, AddAppendsWhatTheDialogGivesAndCancelChangesNothing) {
    EXPECT_TRUE(Edit([&](QDialog& window) {
        Answer seen;
        bool idEnabled = false;
        ThroughProperties(window, "Command1", {"os", "Операционная система", 0}, &seen, &idEnabled);
        EXPECT_EQ(seen.id, "");
        EXPECT_EQ(seen.name, "");
        EXPECT_EQ(seen.method, -1);
        EXPECT_TRUE(idEnabled);
        EXPECT_EQ(test::Rows(List(window)),
                  QStringList{frmTargetAttr::ListRow("os", "Операционная система")});

        // The second add opens with the values of the first, and is cancelled.
        ThroughProperties(window, "Command1", {"lang", "Язык", 1, false}, &seen, &idEnabled);
        EXPECT_EQ(seen.id, "os");
        EXPECT_EQ(seen.name, "Операционная система");
        EXPECT_EQ(seen.method, 0);
        EXPECT_TRUE(idEnabled);
        EXPECT_EQ(List(window)->count(), 1);

        // Nothing is validated: the same identifier again, an empty name.
        ThroughProperties(window, "Command1", {{}, "", -1});
        EXPECT_EQ(List(window)->count(), 2);
        // Storing it is asked first; this answer is Yes.
        answer = true;
        QTest::keyClick(List(window), Qt::Key_Return);  // Enter is Close
    }));
    EXPECT_EQ(questions, QStringList{Text(registry, msg::kDuplicateTargetId, {"os"})});
    EXPECT_EQ(Table(), (std::vector<TargetEntry>{{"os", "Операционная система", "ID3-based"},
                                                 {"os", "", "ID3-based"}}));
    EXPECT_EQ(test::Number(registry, TargetKeyPath(), "Count"), 2);
    EXPECT_EQ(Stored("Name1"), "Операционная система");
    EXPECT_EQ(Stored("Name2"), "");
    EXPECT_EQ(Stored("Method2"), "ID3-based");
}

// The fault pinned: a second target with the same identifier (in any case)
// was stored without a word, and the examples then keep one value for both.
TEST_F(frmTargetAttrTest, AnIdentifierUsedTwiceIsStoredOnlyAfterTheUserAgrees) {
    Targets({{"Kind", "Kind", "ID3-based"}, {"b", "B", "Naive Bayes"}});
    EXPECT_TRUE(Edit([&](QDialog& window) {
        ThroughProperties(window, "Command1", {"kIND", "Again", 2});
        Click(window, "Command3");  // answered No: the window stays, nothing is stored
        EXPECT_TRUE(window.isVisible());
        EXPECT_EQ(test::Number(registry, TargetKeyPath(), "Count"), 2);
        ASSERT_EQ(questions.size(), 1);
        EXPECT_EQ(questions[0], Text(registry, msg::kDuplicateTargetId, {"kIND"}));

        answer = true;
        Click(window, "Command3");
    }));
    EXPECT_EQ(questions.size(), 2);
    EXPECT_EQ(test::Number(registry, TargetKeyPath(), "Count"), 3);
    EXPECT_EQ(Stored("Id3"), "kIND");
}

TEST_F(frmTargetAttrTest, DeleteAtPosition2Of3MovesTheThirdUpWithItsOwnValues) {
    Targets({{"a", "A", "ID3-based"}, {"b", "B", "Naive Bayes"}, {"c", "C", "Free Bayes"}});
    EXPECT_TRUE(Edit([&](QDialog& window) {
        test::ClickRow(List(window), 1);
        ASSERT_EQ(test::SelectedRow(List(window)), 1);
        Click(window, "Command2");
        EXPECT_EQ(test::Rows(List(window)),
                  (QStringList{frmTargetAttr::ListRow("a", "A"), frmTargetAttr::ListRow("c", "C")}));
        EXPECT_EQ(test::SelectedRow(List(window)), -1);
        // Changed in the table at once, before Close.
        EXPECT_EQ(Table(), (std::vector<TargetEntry>{{"a", "A", "ID3-based"}, {"c", "C", "Free Bayes"}}));
        Click(window, "Command3");
    }));
    EXPECT_EQ(test::Number(registry, TargetKeyPath(), "Count"), 2);
    EXPECT_EQ(Stored("Id2"), "c");
    EXPECT_EQ(Stored("Method2"), "Free Bayes");
}

TEST_F(frmTargetAttrTest, DeletingTheOnlyTargetAndClosingWritesCountZero) {
    Targets({{"only", "Only", "ID3-based"}});
    EXPECT_TRUE(Edit([&](QDialog& window) {
        test::ClickRow(List(window), 0);
        Click(window, "Command2");
        EXPECT_EQ(List(window)->count(), 0);
        Click(window, "Command3");
    }));
    EXPECT_EQ(state.TargetCount, 0);
    EXPECT_EQ(test::Number(registry, TargetKeyPath(), "Count"), 0);
    EXPECT_EQ(Stored("Id1"), "only");  // above the count, left in place
}

TEST_F(frmTargetAttrTest, ClosingAfterTheCountWentFrom5To3LeavesPositions4And5InTheStore) {
    std::vector<TargetEntry> five;
    for (int i = 1; i <= 5; ++i)
        five.push_back({"id" + std::to_string(i), "n" + std::to_string(i), "Free Bayes"});
    Targets(five);
    EXPECT_TRUE(Edit([&](QDialog& window) {
        for (int row : {0, 2}) {
            test::ClickRow(List(window), row);
            Click(window, "Command2");
        }
        Click(window, "Command3");
    }));
    EXPECT_EQ(test::Number(registry, TargetKeyPath(), "Count"), 3);
    EXPECT_EQ(Stored("Id1"), "id2");
    EXPECT_EQ(Stored("Id2"), "id3");
    EXPECT_EQ(Stored("Id3"), "id5");
    EXPECT_EQ(Stored("Name3"), "n5");
    EXPECT_EQ(Stored("Id4"), "id4");
    EXPECT_EQ(Stored("Name4"), "n4");
    EXPECT_EQ(Stored("Method4"), "Free Bayes");
    EXPECT_EQ(Stored("Id5"), "id5");
    EXPECT_EQ(Stored("Method5"), "Free Bayes");
}

TEST_F(frmTargetAttrTest, PropertiesChangeNameAndMethodButNeverTheIdentifier) {
    Targets({{"os", "OS", "ID3-based"}, {"kind", "Kind", "Naive Bayes"}});
    EXPECT_TRUE(Edit([&](QDialog& window) {
        test::ClickRow(List(window), 1);
        Answer seen;
        bool idEnabled = true;
        ThroughProperties(window, "Command5", {{}, "Вид файла", 2}, &seen, &idEnabled);
        EXPECT_EQ(seen.id, "kind");
        EXPECT_EQ(seen.name, "Kind");
        EXPECT_EQ(seen.method, 1);
        EXPECT_FALSE(idEnabled);
        EXPECT_EQ(List(window)->item(1)->text(), frmTargetAttr::ListRow("kind", "Вид файла"));
        EXPECT_EQ(test::SelectedRow(List(window)), -1);

        // Cancelled on row 0: the target stays as it was, no row is selected.
        test::ClickRow(List(window), 0);
        ThroughProperties(window, "Command5", {{}, "changed", 1, false});
        EXPECT_EQ(test::SelectedRow(List(window)), -1);
        Click(window, "Command3");
    }));
    EXPECT_EQ(Table(),
              (std::vector<TargetEntry>{{"os", "OS", "ID3-based"}, {"kind", "Вид файла", "Free Bayes"}}));
    EXPECT_EQ(Stored("Method2"), "Free Bayes");
}

TEST_F(frmTargetAttrTest, AMethodSpelledOtherwiseSelectsNothingAndOKReturnsItEmpty) {
    Targets({{"kind", "Kind", "naive bayes"}, {"os", "OS", "Bayes"}});
    EXPECT_TRUE(Edit([&](QDialog& window) {
        for (int row : {0, 1}) {
            test::ClickRow(List(window), row);
            Answer seen;
            ThroughProperties(window, "Command5", {}, &seen);
            EXPECT_EQ(seen.method, -1) << row;
        }
        Click(window, "Command3");
    }));
    EXPECT_EQ(state.TargetTable[1].Method, "");
    EXPECT_EQ(state.TargetTable[2].Method, "");
    EXPECT_EQ(Stored("Method1"), "");
}

TEST_F(frmTargetAttrTest, ThePropertiesLastShownOutliveTheWindow) {
    Targets({{"os", "OS", "Free Bayes"}});
    EXPECT_TRUE(Edit([&](QDialog& window) {
        test::ClickRow(List(window), 0);
        ThroughProperties(window, "Command5", {}, nullptr);
        QTest::keyClick(List(window), Qt::Key_Escape);
    }));
    EXPECT_TRUE(Edit([&](QDialog& window) {
        Answer seen;
        bool idEnabled = false;
        ThroughProperties(window, "Command1", {"os2", {}, -1, false}, &seen, &idEnabled);
        EXPECT_EQ(seen.id, "os");
        EXPECT_EQ(seen.method, 2);
        EXPECT_TRUE(idEnabled);
        Click(window, "Command3");
    }));
    EXPECT_EQ(state.TargetCount, 1);
}

TEST_F(frmTargetAttrTest, EscKeepsTheChangesForTheRunWithoutStoringThem) {
    Targets({{"a", "A", "ID3-based"}, {"b", "B", "ID3-based"}});
    EXPECT_TRUE(Edit([&](QDialog& window) {
        test::ClickRow(List(window), 0);
        Click(window, "Command2");
        QTest::keyClick(List(window), Qt::Key_Escape);
    }));
    EXPECT_EQ(state.TargetCount, 1);
    EXPECT_EQ(test::Number(registry, TargetKeyPath(), "Count"), 2);
    // Reopened, the list shows the table of this run; Close stores it.
    EXPECT_TRUE(Edit([&](QDialog& window) {
        EXPECT_EQ(test::Rows(List(window)), QStringList{frmTargetAttr::ListRow("b", "B")});
        Click(window, "Command3");
    }));
    EXPECT_EQ(test::Number(registry, TargetKeyPath(), "Count"), 1);
    EXPECT_EQ(Stored("Id1"), "b");
}

TEST_F(frmTargetAttrTest, With32TargetsAddIsDisabledAndDeletingAnyOneLeaves31) {
    std::vector<TargetEntry> full;
    for (int i = 1; i <= ConfigTables::kMaxTargets; ++i)
        full.push_back({"t" + std::to_string(i), "", "ID3-based"});
    Targets(full);
    EXPECT_TRUE(Edit([&](QDialog& window) {
        auto* add = Child<QPushButton>(window, "Command1");
        EXPECT_FALSE(add->isEnabled());
        // A click that reaches the command anyway beeps and changes nothing.
        editor->Command1_Click();
        EXPECT_EQ(beeps, 1);
        EXPECT_EQ(state.TargetCount, 32);

        test::ClickRow(List(window), 31);
        Click(window, "Command2");
        EXPECT_EQ(state.TargetCount, 31);
        EXPECT_TRUE(add->isEnabled());
        ThroughProperties(window, "Command1", {"t33", "", 0});
        EXPECT_EQ(state.TargetCount, 32);
        EXPECT_FALSE(add->isEnabled());
        test::ClickRow(List(window), 4);
        Click(window, "Command2");
        EXPECT_EQ(state.TargetCount, 31);
        EXPECT_EQ(state.TargetTable[5].Id, "t6");
        EXPECT_EQ(state.TargetTable[31].Id, "t33");
        Click(window, "Command3");
    }));
    EXPECT_EQ(test::Number(registry, TargetKeyPath(), "Count"), 31);
}

// The fault pinned: a character outside the store's code page, or a text over
// its length, was stored as "?" or failed only at Close; the properties
// dialog now refuses it where it can be mended, and Close refuses a table
// that holds one anyway, keeping the window open with the table.
TEST_F(frmTargetAttrTest, TextTheStoreCannotHoldIsRefusedAndTheWindowKeepsTheTable) {
    Targets({{"os", "OS", "ID3-based"}});
    EXPECT_TRUE(Edit([&](QDialog& window) {
        test::ClickRow(List(window), 0);
        ThroughProperties(window, "Command5", {{}, QString(1100, 'n'), -1});
        ASSERT_EQ(messages.size(), 1);
        EXPECT_TRUE(messages[0].contains(QString::number(Registry::kMaxValueBytes)))
            << messages[0].toStdString();
        ThroughProperties(window, "Command1", {"日本", "Japan", 0});
        ASSERT_EQ(messages.size(), 2);
        EXPECT_TRUE(messages[1].contains("日") && messages[1].contains("本")) << messages[1].toStdString();
        EXPECT_EQ(Table(), (std::vector<TargetEntry>{{"os", "OS", "ID3-based"}}));

        // A table that holds such a text anyway (a store edited by hand).
        state.TargetTable[1].Name = "x✓";
        Click(window, "Command3");
        ASSERT_EQ(messages.size(), 3);
        EXPECT_TRUE(messages[2].startsWith(Text(registry, msg::kTargetsNotSaved)))
            << messages[2].toStdString();
        EXPECT_TRUE(messages[2].contains("✓"));
        EXPECT_TRUE(window.isVisible());
        EXPECT_EQ(Stored("Name1"), "OS");

        test::ClickRow(List(window), 0);
        ThroughProperties(window, "Command5", {{}, "Операционная система", -1});
        Click(window, "Command3");
    }));
    EXPECT_EQ(messages.size(), 3);
    EXPECT_EQ(Stored("Name1"), "Операционная система");
}

// The fault pinned: a row added to a long list was out of sight, or cut in half.
TEST_F(frmTargetAttrTest, AnAddedRowIsSelectedAndWhollyInSight) {
    std::vector<TargetEntry> many;
    for (int i = 1; i < ConfigTables::kMaxTargets; ++i)
        many.push_back({"t" + std::to_string(i), "T", "ID3-based"});
    Targets(many);
    EXPECT_TRUE(Edit([&](QDialog& window) {
        ThroughProperties(window, "Command1", {"new", "New", 0});
        QListWidget* list = List(window);
        const int last = list->count() - 1;
        ASSERT_EQ(last, ConfigTables::kMaxTargets - 1);
        EXPECT_EQ(test::SelectedRow(list), last);
        EXPECT_TRUE(list->viewport()->rect().contains(list->visualItemRect(list->item(last))));
        window.reject();
    }));
}

// The fault pinned: an identifier of 1,019 to 1,024 characters was taken, and
// from then on no file could be remembered, as "Target" and the identifier
// make a value name longer than the store holds.
TEST_F(frmTargetAttrTest, AnIdentifierTooLongForAnExamplesValueNameIsRefused) {
    EXPECT_TRUE(Edit([&](QDialog& window) {
        ThroughProperties(window, "Command1", {QString(kMaxTargetIdBytes + 1, 'i'), "Kind", 0});
        ASSERT_EQ(messages.size(), 1);
        EXPECT_TRUE(messages[0].contains(QString::number(kMaxTargetIdBytes))) << messages[0].toStdString();
        EXPECT_TRUE(messages[0].contains("iiii"));
        EXPECT_EQ(List(window)->count(), 0);
        ThroughProperties(window, "Command1", {QString(kMaxTargetIdBytes, 'i'), "Kind", 0});
        Click(window, "Command3");
    }));
    EXPECT_EQ(messages.size(), 1);
    EXPECT_EQ(Stored("Id1"), std::string(kMaxTargetIdBytes, 'i'));
}

}  // namespace
}  // namespace morvel
