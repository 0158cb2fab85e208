// One language throughout: the program's own messages come from the
// interface texts with Russian defaults, the shipped language files give
// every one of them, and Qt's own texts follow the interface language.
#include <QDialogButtonBox>
#include <QPushButton>
#include <algorithm>
#include <set>
#include <vector>

#include "GuiSupport.h"
#include "core/exchange/LanguageFile.h"
#include "core/store/KeyPaths.h"
#include "ui/InterfaceLanguage.h"
#include "ui/Messages.h"

namespace morvel {
namespace {

ParsedLanguage Shipped(const std::string& name) {
    ParsedLanguage parsed;
    EXPECT_TRUE(
        ParseLanguage(test::ReadFile(std::string(MORVEL_SOURCE_DIR) + "/Interfaces/" + name), parsed).ok());
    EXPECT_EQ(parsed.skippedLines, 0u) << name;
    return parsed;
}

std::string ValueOf(const ParsedLanguage& language, std::string_view name) {
    for (const auto& t : language.texts)
        if (t.name == name) return t.text;
    return "(missing)";
}

TEST(InterfaceLanguageTest, TheShippedLanguagesGiveEveryMessageAndNameTheirLocale) {
    const ParsedLanguage russian = Shipped("Russian.lng");
    const ParsedLanguage english = Shipped("English.lng");
    EXPECT_EQ(ValueOf(russian, kLocaleValue), "ru");
    EXPECT_EQ(ValueOf(english, kLocaleValue), "en");
    for (const Message& message : msg::kAll) {
        // Russian.lng restores the built-in texts after another language.
        EXPECT_EQ(ValueOf(russian, message.name), message.russian) << message.name;
        const std::string translated = ValueOf(english, message.name);
        EXPECT_NE(translated, "(missing)") << message.name;
        EXPECT_NE(translated, message.russian) << message.name;
        // The same places to fill in.
        for (const char* place : {"%1", "%2", "%3"})
            EXPECT_EQ(translated.find(place) != std::string::npos,
                      std::string(message.russian).find(place) != std::string::npos)
                << message.name << " " << place;
    }
}

class InterfaceLanguageGuiTest : public test::GuiTest {
  protected:
    void TearDown() override {
        // Qt's own texts back in English, as the other tests of this program meet them.
        registry.SetKeyText(InterfaceKeyPath(), kLocaleValue, "en");
        ApplyInterfaceLocale(registry);
        GuiTest::TearDown();
    }
    QString CancelText() {
        QDialogButtonBox box(QDialogButtonBox::Cancel);
        return box.button(QDialogButtonBox::Cancel)->text();
    }
};

// The fault pinned: in the Russian interface Qt's own buttons and dialogs
// spoke English.
TEST_F(InterfaceLanguageGuiTest, QtsOwnTextsFollowTheLanguageOfTheInterfaceTexts) {
    ASSERT_TRUE(ApplyInterfaceLocale(registry)) << "Qt's Russian translation is not installed";
    const QString russian = CancelText();
    EXPECT_NE(russian, "Cancel");
    EXPECT_TRUE(std::any_of(russian.begin(), russian.end(),
                            [](QChar c) { return c.script() == QChar::Script_Cyrillic; }));

    ParsedLanguage parsed;
    ASSERT_TRUE(
        ImportLanguageFile(registry, std::string(MORVEL_SOURCE_DIR) + "/Interfaces/English.lng", parsed)
            .ok());
    ApplyInterfaceLocale(registry);
    EXPECT_EQ(CancelText().remove('&'), "Cancel");
    // And the program's own messages with them.
    EXPECT_EQ(Text(registry, msg::kSequencesNotSaved).toStdString(),
              ValueOf(Shipped("English.lng"), msg::kSequencesNotSaved.name));
}

// The fault pinned: the reasons of the store and the examiner reached the
// user in English inside Russian messages ("...: the store is not open").
// Each kind of failure has its own text; the system's words only follow it.
TEST_F(InterfaceLanguageGuiTest, FailuresAreToldInTheInterfacesWordsWithTheSystemsWordsAfter) {
    const auto hasLatin = [](const QString& text) {
        return std::any_of(text.begin(), text.end(),
                           [](QChar c) { return c.script() == QChar::Script_Latin; });
    };
    const std::string detail = "the value name is longer than 1024 characters";
    const QString detailLine = Text(registry, msg::kDetail, {QString::fromStdString(detail)});
    std::vector<QString> told;
    for (const Status& failure :
         {Status::InvalidInput(detail), Status::Corrupt(detail), Status::IOError(detail)})
        told.push_back(ReasonText(registry, failure));
    for (const Status& failure :
         {Status::NotFound(detail), Status::IOError(detail), Status::InvalidInput(detail)})
        told.push_back(ExamineFailureText(registry, "/папка/файл", failure));
    for (const QString& text : told) {
        const QStringList lines = text.split('\n');
        ASSERT_GE(lines.size(), 2) << text.toStdString();
        EXPECT_EQ(lines.last(), detailLine);
        for (qsizetype i = 0; i + 1 < lines.size(); ++i)
            EXPECT_FALSE(hasLatin(lines[i])) << text.toStdString();
    }
    // One text per kind: the user can tell the failures apart.
    EXPECT_EQ(std::set<QString>(told.begin(), told.end()).size(), told.size());
}

}  // namespace
}  // namespace morvel
