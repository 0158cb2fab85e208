#include <sys/time.h>
#include <unistd.h>

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <filesystem>

#include "GuiSupport.h"
#include "StoreReads.h"
#include "core/config/ConfigTables.h"
#include "core/exchange/LanguageFile.h"
#include "core/store/KeyPaths.h"
#include "ui/HeaderTexts.h"
#include "ui/Messages.h"
#include "ui/PathBox.h"
#include "ui/frmAttributes.h"

namespace morvel {
namespace {

// 5 March 2003, a Wednesday, 08:00 UTC: a morning.
constexpr time_t kMarch5th2003 = 1046851200;

void SetModified(const std::string& path, time_t when) {
    const timeval times[2] = {{when, 0}, {when, 0}};
    ASSERT_EQ(utimes(path.c_str(), times), 0);
}

class frmAttributesTest : public test::GuiTest {
  protected:
    void SetUp() override {
        GuiTest::SetUp();
        state.PlatformVersion = ConfigTables::kNtPlatformVersion;
        ASSERT_TRUE(SaveSequenceTable(registry, state, {"zeta", "gamma", "Alpha", "beta", "delta"}).ok());
        test::LoadTables(registry, state);
        file = dir / "setup.exe";
        // A DOS program holding three of the five sequences, in other letter case.
        test::WriteFile(file, "MZ" + std::string(100, '\0') + "ZETA alpha BeTa");
        SetModified(file, kMarch5th2003);
    }
    void TearDown() override {
        if (window) window->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        GuiTest::TearDown();
    }

    void Language(const std::string& name) {
        ParsedLanguage parsed;
        ASSERT_TRUE(
            ImportLanguageFile(registry, std::string(MORVEL_SOURCE_DIR) + "/Interfaces/" + name, parsed)
                .ok());
        ASSERT_EQ(parsed.skippedLines, 0u);
    }
    void SetOption(std::string_view name, std::int32_t value) {
        ASSERT_TRUE(registry.OpenKey(std::string(kBaseKey)));
        ASSERT_TRUE(registry.SetKeyNumber(std::string(kBaseKey), name, value));
    }
    std::int32_t Option(std::string_view name) { return test::Number(registry, kBaseKey, name); }
    bool HasOption(std::string_view name) {
        std::string text;
        return registry.GetKeyText(kBaseKey, name, text).ok();
    }

    frmAttributes& Open(const std::string& path, Registry& store) {
        state.CurrentFile = path;
        state.AttributesValid = examiner.ComputeFileAttributes(path, state).ok();
        EXPECT_TRUE(state.AttributesValid);
        window = new frmAttributes(store, state, examiner);
        window->show();
        return *window;
    }
    frmAttributes& Open(const std::string& path) { return Open(path, registry); }

    template <typename T>
    T* Find(const char* name) {
        T* found = window->findChild<T*>(name);
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QString Text(const char* label) { return Find<QLabel>(label)->text(); }
    QRadioButton* Option1(int index) {
        for (QRadioButton* b : window->findChildren<QRadioButton*>("Option1"))
            if (b->property("Index").toInt() == index) return b;
        ADD_FAILURE() << "no Option1 " << index;
        return nullptr;
    }
    QStringList Listed() {
        QStringList rows;
        const QListWidget* list = Find<QListWidget>("List1");
        for (int i = 0; i < list->count(); ++i) rows << list->item(i)->text();
        return rows;
    }
    bool Gone() {
        return test::Eventually([&] {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            return window.isNull();
        });
    }

    ConfigTables state;
    FileExaminer examiner;
    std::string file;
    QPointer<frmAttributes> window;
};

TEST_F(frmAttributesTest, InEnglishTheLinesDescribeTheFileAndTheFoundSequencesAreListed) {
    Language("English.lng");
    Open(file);
    EXPECT_EQ(window->windowTitle(), "File attributes");
    EXPECT_EQ(Find<QGroupBox>("Frame1")->title(), "General attributes");
    EXPECT_EQ(Find<QGroupBox>("Frame2")->title(), "Advanced attributes");
    EXPECT_EQ(Text("Label1"), "Full file name:");
    EXPECT_EQ(Find<PathBox>("txtFullName")->Path(), QString::fromStdString(file));
    EXPECT_EQ(Text("Label2"), "File size: 117 bytes");
    EXPECT_EQ(Text("Label3"), "Platform: DOS");
    EXPECT_EQ(Text("Label4"), "Modified: 5.03.2003, Wednesday, morning");
    EXPECT_EQ(Text("Label5"), "This is a system file");
    EXPECT_TRUE(Find<QLabel>("Label3")->isVisible());
    EXPECT_FALSE(Find<QLabel>("Label5")->isVisible());
    // Labels size themselves to their text.
    EXPECT_GE(Find<QLabel>("Label1")->width(), Find<QLabel>("Label1")->sizeHint().width());

    // "ShowFound" is missing: the found sequences, sorted as a person reads.
    EXPECT_TRUE(Option1(0)->isChecked());
    EXPECT_EQ(Option1(0)->text(), "Show the sequences found");
    EXPECT_EQ(Listed(), (QStringList{"Alpha", "beta", "zeta"}));
    QTest::mouseClick(Option1(1), Qt::LeftButton);
    EXPECT_EQ(Listed(), (QStringList{"delta", "gamma"}));

    EXPECT_TRUE(Find<QCheckBox>("Check4")->isChecked());
    EXPECT_FALSE(Find<QCheckBox>("Check4")->isEnabled());
    EXPECT_FALSE(Find<QCheckBox>("Check5")->isChecked());
    EXPECT_FALSE(Find<QCheckBox>("Check5")->isEnabled());
    EXPECT_FALSE(Find<QCheckBox>("Check6")->isChecked());
    EXPECT_EQ(Find<QListWidget>("List1")->frameShadow(), QFrame::Plain);
    EXPECT_FALSE(Find<QPushButton>("cmdFind")->isEnabled());
    EXPECT_TRUE(Find<QPushButton>("Command1")->isDefault());
    EXPECT_EQ(Find<QPushButton>("Command1")->text(), "Close");
}

// The fault pinned: captions longer than their designed controls were cut off
// ("Сортировать", "With check marks").
TEST_F(frmAttributesTest, NoCaptionIsCutOffInEitherLanguage) {
    for (const char* language : {"", "English.lng"}) {
        if (*language) Language(language);
        Open(file);
        const QRect frame = Find<QGroupBox>("Frame2")->geometry();
        for (QAbstractButton* control : Find<QGroupBox>("Frame2")->findChildren<QAbstractButton*>()) {
            if (!qobject_cast<QCheckBox*>(control) && !qobject_cast<QRadioButton*>(control)) continue;
            EXPECT_GE(control->width(), control->sizeHint().width()) << control->text().toStdString();
            EXPECT_LE(control->geometry().right(), frame.width()) << control->text().toStdString();
        }
        EXPECT_LE(frame.right(), window->width());
        window->close();
    }
}

// While the store's setting has them on, the header attributes are listed
// below the other frames, each with its meaning in the interface's language;
// off, the window keeps its designed size.
TEST_F(frmAttributesTest, TheHeaderAttributesAreListedWhileTheSettingHasThemOn) {
    Open(file);
    EXPECT_FALSE(Find<QGroupBox>("Frame3")->isVisible());
    const int designedHeight = window->height();
    window->close();

    ASSERT_TRUE(SaveHeaderAttributes(registry, state, true).ok());
    for (const char* language : {"", "English.lng"}) {
        if (*language) Language(language);
        Open(file);
        const auto* frame = Find<QGroupBox>("Frame3");
        ASSERT_TRUE(frame->isVisible());
        EXPECT_GT(window->height(), designedHeight);
        EXPECT_LE(frame->geometry().bottom(), Find<QPushButton>("Command1")->geometry().top());
        const auto* list = Find<QListWidget>("List2");
        ASSERT_EQ(list->count(), kHeaderSlotCount);
        // A DOS program: its format has a meaning, the PE-only slots do not apply.
        const std::string format = state.AttributeNames[HeaderSlot(state, header_slot::kFormat)];
        const std::string machine = state.AttributeNames[HeaderSlot(state, header_slot::kMachine)];
        if (*language) {
            std::string title, meaning;
            ASSERT_TRUE(registry.GetKeyText(InterfaceKeyPath(), machine, title).ok());
            ASSERT_TRUE(registry.GetKeyText(InterfaceKeyPath(), machine + "0", meaning).ok());
            EXPECT_EQ(list->item(header_slot::kMachine - 1)->text().toStdString(), title + ": " + meaning);
        }
        const int code = examiner.AttributeVector()[HeaderSlot(state, header_slot::kFormat)];
        EXPECT_FALSE(list->item(header_slot::kFormat - 1)->text().endsWith(": " + QString::number(code)))
            << format;
        window->close();
    }
}

// The Russian language file brings back exactly the built-in texts, and the
// English one names every code the built-in texts name.
TEST_F(frmAttributesTest, TheLanguageFilesNameEveryHeaderCodeAsTheBuiltInTextsDo) {
    auto all = [&] {
        QStringList lines;
        for (std::int32_t h = 1; h <= kHeaderSlotCount; ++h)
            for (std::int32_t code = 0; code <= 9; ++code) lines << HeaderSlotLine(registry, h, code);
        return lines;
    };
    const QStringList builtIn = all();
    Language("Russian.lng");
    EXPECT_EQ(all(), builtIn);
    Language("English.lng");
    const QStringList english = all();
    for (int i = 0; i < builtIn.size(); ++i)
        if (builtIn[i].endsWith(": " + QString::number(i % 10)))  // a code the slot does not have
            EXPECT_TRUE(english[i].endsWith(": " + QString::number(i % 10))) << english[i].toStdString();
        else
            EXPECT_NE(english[i], builtIn[i]) << builtIn[i].toStdString();
}

TEST_F(frmAttributesTest, WithoutInterfaceTextsTheDesignedCaptionsStandAndValueTextsAreLeftOut) {
    Open(file);
    EXPECT_EQ(window->windowTitle(), "Атрибуты файла");
    EXPECT_EQ(Text("Label2"), "Размер файла: 117");
    EXPECT_EQ(Text("Label4"), "Изменён: 5.03.2003");
    EXPECT_FALSE(Find<QLabel>("Label3")->isVisible());  // no platform text
    EXPECT_EQ(Find<QPushButton>("cmdFind")->text(), "Поиск");
}

TEST_F(frmAttributesTest, UnknownPlatformsTakeTheUnknownText) {
    Language("English.lng");
    state.PlatformVersion = 0;  // no type query: slot 9 is 0
    Open(file);
    EXPECT_EQ(Text("Label3"), "Platform: unknown");
}

TEST_F(frmAttributesTest, ASizeAtTheLimitSaysOrMore) {
    Language("English.lng");
    const std::string big = dir / "big.exe";
    test::WriteFile(big, "MZ");
    ASSERT_EQ(truncate(big.c_str(), FileExaminer::kSizeCap - 1), 0);
    Open(big);
    EXPECT_EQ(Text("Label2"), "File size: 1073741823 bytes");
    window->close();
    ASSERT_TRUE(Gone());
    ASSERT_EQ(truncate(big.c_str(), FileExaminer::kSizeCap + 5), 0);
    Open(big);
    EXPECT_EQ(Text("Label2"), "File size: 1073741824 bytes or more");
}

TEST_F(frmAttributesTest, CloseSavesTheOptionsAndTheCloseBoxDoesNot) {
    SetOption("ShowFound", 1);
    Open(file);
    EXPECT_TRUE(Option1(1)->isChecked());
    EXPECT_EQ(Listed(), (QStringList{"delta", "gamma"}));
    // The close box saves nothing.
    window->close();
    ASSERT_TRUE(Gone());
    EXPECT_FALSE(HasOption("ListStyle"));

    // Close writes back what is shown.
    Open(file);
    QTest::mouseClick(Find<QPushButton>("Command1"), Qt::LeftButton);
    ASSERT_TRUE(Gone());
    EXPECT_EQ(Option("ShowFound"), 1);
    EXPECT_EQ(Option("ListStyle"), 0);

    // Esc is Close, with the user's choices.
    Open(file);
    QTest::mouseClick(Option1(0), Qt::LeftButton);
    QTest::mouseClick(Find<QCheckBox>("Check6"), Qt::LeftButton);
    EXPECT_EQ(Find<QListWidget>("List1")->frameShadow(), QFrame::Sunken);
    QTest::keyClick(window, Qt::Key_Escape);
    ASSERT_TRUE(Gone());
    EXPECT_EQ(Option("ShowFound"), 0);
    EXPECT_EQ(Option("ListStyle"), 1);
}

TEST_F(frmAttributesTest, OutOfRangeOptionsCountAsTheNearestMeaning) {
    SetOption("ShowFound", -3);
    SetOption("ListStyle", 7);
    Open(file);
    EXPECT_TRUE(Option1(0)->isChecked());
    EXPECT_TRUE(Find<QCheckBox>("Check6")->isChecked());
    QTest::mouseClick(Find<QPushButton>("Command1"), Qt::LeftButton);
    ASSERT_TRUE(Gone());
    EXPECT_EQ(Option("ShowFound"), 0);
    EXPECT_EQ(Option("ListStyle"), 1);
}

TEST_F(frmAttributesTest, EnterSearchesWhileTheBoxHoldsTextAndClosesWhenItIsEmpty) {
    Open(file);
    QLineEdit* find = Find<QLineEdit>("txtFind");
    QPushButton* close = Find<QPushButton>("Command1");
    find->setFocus();
    // At the very start, in other letter case.
    QTest::keyClicks(find, "mZ");
    EXPECT_TRUE(Find<QPushButton>("cmdFind")->isEnabled());
    EXPECT_FALSE(close->isDefault());
    QTest::keyClick(find, Qt::Key_Return);
    EXPECT_EQ(messages, QStringList{"0"});
    EXPECT_TRUE(window->isVisible());

    find->setText("beta");
    QTest::mouseClick(Find<QPushButton>("cmdFind"), Qt::LeftButton);
    find->setText("no such text");
    QTest::keyClick(find, Qt::Key_Enter);
    EXPECT_EQ(messages, (QStringList{"0", QString::number(102 + 11), "-1"}));

    find->selectAll();
    QTest::keyClick(find, Qt::Key_Backspace);
    EXPECT_TRUE(close->isDefault());
    EXPECT_FALSE(Find<QPushButton>("cmdFind")->isEnabled());
    QTest::keyClick(find, Qt::Key_Return);
    ASSERT_TRUE(Gone());
    EXPECT_EQ(messages.size(), 3);
    EXPECT_EQ(Option("ShowFound"), 0);  // it closed as Close does
}

// The fault pinned: a long path was cut off at the frame's edge, with no way
// to read or copy it. It is elided in the middle within the frame, shown
// whole on hover, and whole where it can be selected once clicked.
TEST_F(frmAttributesTest, ALongPathIsElidedInTheMiddleAndCanBeReadAndCopiedWhole) {
    const std::string deep =
        dir / (std::string(60, 'a') + "/" + std::string(60, 'b') + "/" + std::string(60, 'c'));
    std::filesystem::create_directories(deep);
    const std::string longFile = deep + "/the-end.exe";
    test::WriteFile(longFile, "MZ");
    Open(longFile);
    auto* path = Find<PathBox>("txtFullName");
    const QString whole = QString::fromStdString(longFile);
    EXPECT_LE(path->geometry().right(), Find<QGroupBox>("Frame1")->width());
    EXPECT_GT(path->geometry().left(), Find<QLabel>("Label1")->geometry().right());
    EXPECT_LE(path->fontMetrics().horizontalAdvance(path->text()), path->width());
    EXPECT_TRUE(path->text().startsWith(QString::fromStdString(dir.path()).left(5)))
        << path->text().toStdString();
    EXPECT_TRUE(path->text().endsWith("the-end.exe")) << path->text().toStdString();
    EXPECT_NE(path->text(), whole);
    EXPECT_EQ(path->toolTip(), whole);

    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    QTest::mouseClick(path, Qt::LeftButton);
    ASSERT_TRUE(path->hasFocus());
    QTest::keyClick(path, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(path->selectedText(), whole);
    EXPECT_TRUE(path->isReadOnly());
}

// The fault pinned: a text with characters Windows-1251 lacks was searched
// for as "?" ("日本" found the "??" of a file); it is refused, naming them.
TEST_F(frmAttributesTest, ATextTheCodePageLacksIsRefusedNamingItsCharacters) {
    test::WriteFile(file, "MZ" + std::string(100, '\0') + "what?? ZETA");
    Open(file);
    QLineEdit* find = Find<QLineEdit>("txtFind");
    find->setText("日本");
    QTest::mouseClick(Find<QPushButton>("cmdFind"), Qt::LeftButton);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains("日") && messages[0].contains("本")) << messages[0].toStdString();
    EXPECT_TRUE(messages[0].contains(morvel::Text(registry, msg::kFieldFindText)));
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(find->text(), "日本");
    // What the code page has is searched as before.
    find->setText("zeta");
    QTest::keyClick(find, Qt::Key_Return);
    EXPECT_EQ(messages.last(), QString::number(102 + 7));
}

TEST_F(frmAttributesTest, LoadingAgainFollowsTheNewLanguageWithoutRepeatingValues) {
    Language("English.lng");
    Open(file);
    Language("Russian.lng");
    window->Form_Load();
    EXPECT_EQ(window->windowTitle(), "Атрибуты файла");
    EXPECT_EQ(Text("Label2"), "Размер файла: 117 байт");
    EXPECT_EQ(Text("Label4"), "Изменён: 5.03.2003, среда, утро");
    EXPECT_EQ(Text("Label3"), "Платформа: DOS");
    EXPECT_EQ(Listed(), (QStringList{"Alpha", "beta", "zeta"}));
}

TEST_F(frmAttributesTest, AnUnsavedCloseSaysSoAndStaysOpen) {
    Registry closed;  // refuses every write
    Open(file, closed);
    QTest::mouseClick(Find<QPushButton>("Command1"), Qt::LeftButton);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith(morvel::Text(closed, msg::kOptionsNotSaved)))
        << messages[0].toStdString();
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->Unloaded());
}

}  // namespace
}  // namespace morvel
