#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "EditorSupport.h"
#include "core/classify/ClassificationMethods.h"
#include "core/config/ConfigTables.h"
#include "ui/prpTarget.h"

namespace morvel {
namespace {

using test::Child;

class prpTargetTest : public test::GuiTest {
  protected:
    // Opens the dialog on given and runs steps in it; then result and
    // accepted hold what it gave back.
    bool Run(const std::function<void(QDialog&)>& steps) {
        return test::RunModal(
            "prpTarget",
            [this] {
                prpTarget dialog(registry, given, idEditable);
                dialog.exec();
                result = dialog.Result();
                accepted = dialog.Accepted();
            },
            steps);
    }
    QLineEdit* Id(QDialog& d) { return Child<QLineEdit>(d, "Text1"); }
    QLineEdit* Name(QDialog& d) { return Child<QLineEdit>(d, "Text2"); }
    QComboBox* Method(QDialog& d) { return Child<QComboBox>(d, "Combo1"); }

    TargetEntry given;
    bool idEditable = false;
    TargetEntry result;
    bool accepted = false;
};

TEST_F(prpTargetTest, ForAddingWithEmptyFieldsOKReturnsThreeEmptyTexts) {
    idEditable = true;
    EXPECT_TRUE(Run([&](QDialog& d) {
        EXPECT_EQ(d.windowTitle(), "Свойства целевого атрибута");
        EXPECT_EQ(Child<QLabel>(d, "Label1")->text(), "Идентификатор:");
        EXPECT_EQ(Child<QLabel>(d, "Label2")->text(), "Название:");
        EXPECT_EQ(Child<QLabel>(d, "Label3")->text(), "Метод:");
        EXPECT_EQ(Child<QPushButton>(d, "Command3")->text(), QString::fromUtf8("\xD0\x9E\xD0\x9A"));  // О, К
        EXPECT_EQ(Child<QPushButton>(d, "Command4")->text(), "Отмена");
        EXPECT_TRUE(Child<QPushButton>(d, "Command3")->isDefault());
        EXPECT_TRUE(Id(d)->isEnabled());
        EXPECT_EQ(Id(d)->text(), "");
        EXPECT_EQ(Name(d)->text(), "");
        EXPECT_EQ(Method(d)->currentIndex(), -1);
        EXPECT_EQ(Method(d)->currentText(), "");
        EXPECT_FALSE(Method(d)->isEditable());
        // The list offers the table of methods, in its order.
        QStringList methods, table;
        for (int i = 0; i < Method(d)->count(); ++i) methods << Method(d)->itemText(i);
        for (const ClassificationMethod* method : ClassificationMethods())
            table << QString::fromStdString(std::string(method->name));
        EXPECT_EQ(methods, table);
        EXPECT_EQ(QApplication::focusWidget(), Id(d));
        EXPECT_EQ(test::TabOrder(d, 5), (QStringList{"Text2", "Combo1", "Command3", "Command4", "Text1"}));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);  // Enter on the identifier box is OK
    }));
    EXPECT_TRUE(accepted);
    EXPECT_EQ(result.Id, "");
    EXPECT_EQ(result.Name, "");
    EXPECT_EQ(result.Method, "");
}

TEST_F(prpTargetTest, ForAnExistingTargetTheIdentifierIsShownButCannotBeChanged) {
    given.Id = "os";
    given.Name = "OS";
    given.Method = "Naive Bayes";
    idEditable = false;
    EXPECT_TRUE(Run([&](QDialog& d) {
        EXPECT_FALSE(Id(d)->isEnabled());
        EXPECT_EQ(Id(d)->text(), "os");
        EXPECT_EQ(Method(d)->currentText(), "Naive Bayes");
        EXPECT_EQ(QApplication::focusWidget(), Name(d));
        EXPECT_EQ(test::TabOrder(d, 4), (QStringList{"Combo1", "Command3", "Command4", "Text2"}));
        QTest::keyClick(Id(d), Qt::Key_X);  // ignored by the disabled box
        Name(d)->selectAll();
        test::Type(Name(d), "Операционная система");
        QTest::keyClick(Method(d), Qt::Key_Down);
        test::Click(d, "Command3");
    }));
    EXPECT_TRUE(accepted);
    EXPECT_EQ(result.Id, "os");
    EXPECT_EQ(result.Name, "Операционная система");
    EXPECT_EQ(result.Method, "Free Bayes");
}

TEST_F(prpTargetTest, CancelEscAndTheCloseBoxGiveBackTheValuesGiven) {
    for (int way = 0; way < 3; ++way) {
        given.Id = "id";
        given.Name = "name";
        given.Method = "Free Bayes";
        idEditable = true;
        EXPECT_TRUE(Run([&](QDialog& d) {
            test::Type(Id(d), "more");
            if (way == 0) test::Click(d, "Command4");
            if (way == 1) QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
            if (way == 2) d.close();
        })) << way;
        EXPECT_FALSE(accepted) << way;
        EXPECT_EQ(result.Id, "id") << way;
        EXPECT_EQ(result.Name, "name");
        EXPECT_EQ(result.Method, "Free Bayes");
    }
}

TEST_F(prpTargetTest, AMethodThatDiffersFromTheListSelectsNothing) {
    for (const char* stored : {"naive bayes", "ID3", "Free Bayes ", "Другой"}) {
        given.Method = stored;
        EXPECT_TRUE(Run([&](QDialog& d) {
            EXPECT_EQ(Method(d)->currentIndex(), -1) << stored;
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Enter);
        }));
        EXPECT_EQ(result.Method, "") << stored;
    }
}

}  // namespace
}  // namespace morvel
