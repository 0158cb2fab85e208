#include <sqlite3.h>

#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <atomic>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>

#include "GuiSupport.h"
#include "StoreReads.h"
#include "cli/Cli.h"
#include "core/config/ConfigTables.h"
#include "core/exchange/LanguageFile.h"
#include "core/exchange/RegFileWriter.h"
#include "core/store/KeyPaths.h"
#include "support/FaultVfs.h"
#include "ui/Messages.h"
#include "ui/ProgramStore.h"
#include "ui/SlotTexts.h"
#include "ui/frmClass.h"

namespace morvel {
namespace {

using toolkit::Pixels;

// Runs handler when watched receives an event of the given type, once.
class OnEvent : public QObject {
  public:
    OnEvent(QObject* watched, QEvent::Type type, std::function<void()> handler)
        : type_(type), handler_(std::move(handler)) {
        watched->installEventFilter(this);
    }
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == type_ && handler_) std::exchange(handler_, nullptr)();
        return false;
    }

  private:
    QEvent::Type type_;
    std::function<void()> handler_;
};

// Posts a key press to the widget of window that has the focus.
void PostKey(QWidget* window, Qt::Key key) {
    QWidget* to = window->focusWidget() ? window->focusWidget() : window;
    QCoreApplication::postEvent(to, new QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier));
    QCoreApplication::postEvent(to, new QKeyEvent(QEvent::KeyRelease, key, Qt::NoModifier));
}

class frmClassTest : public test::GuiTest {
  protected:
    void SetUp() override {
        GuiTest::SetUp();
        state.PlatformVersion = ConfigTables::kNtPlatformVersion;
    }
    void TearDown() override {
        if (window) window->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        GuiTest::TearDown();
    }

    int Cli(std::vector<std::string> args) {
        out.str("");
        err.str("");
        args.insert(args.begin(), {"morvel-cli", "--store", dir.Store()});
        return RunCli(args, out, err);
    }
    // A file whose general attributes equal those of every other file made
    // here; only the search sequences it contains tell it apart.
    std::string Put(const std::string& name, const std::string& contents) {
        const std::string path = dir / name;
        test::WriteFile(path, contents + " x");
        std::filesystem::last_write_time(path,
                                         std::filesystem::file_time_type(std::chrono::hours(24 * 365 * 40)));
        return path;
    }
    // Three targets, one per method, and seven examples over three sequences.
    void StoreWithExamples() {
        ASSERT_EQ(Cli({"targets", "add", "kind", "Kind of file", "ID3-based"}), 0);
        ASSERT_EQ(Cli({"targets", "add", "fam", "Family", "Naive Bayes"}), 0);
        ASSERT_EQ(Cli({"targets", "add", "fb", "Free", "Free Bayes"}), 0);
        ASSERT_EQ(Cli({"sequences", "set", "alpha", "beta", "gamma"}), 0);
        const std::vector<std::vector<std::string>> examples = {
            {"", "C", "red", "one"},      {"alpha beta gamma", "A", "blue", "two"},
            {"alpha", "B", "Red", "one"}, {"beta", "C", "blue", "three"},
            {"alpha", "B", "red", "two"}, {"alpha beta", "C", "blue", "one"},
            {"", "C", "green", "three"},
        };
        for (std::size_t i = 0; i < examples.size(); ++i) {
            const auto& e = examples[i];
            ASSERT_EQ(Cli({"remember", Put("f" + std::to_string(i) + ".exe", e[0]), "kind=" + e[1],
                           "fam=" + e[2], "fb=" + e[3]}),
                      0)
                << err.str();
        }
    }

    // Opens the window on file as the program does: tables loaded, file examined.
    // Examines file as the program does when it takes it as the current file.
    void Examine(const std::string& file) {
        test::LoadTables(registry, state);
        state.CurrentFile = file;
        state.AttributesValid = examiner.ComputeFileAttributes(file, state).ok();
        EXPECT_TRUE(state.AttributesValid);
    }
    // Opens the window for the current file; it may be given another store
    // than the one the tables come from.
    frmClass& Open(Registry& store) {
        if (&store != &registry) otherExamples = std::make_unique<ExampleStore>(store);
        window = new frmClass(store, state, examiner, &store == &registry ? examples : *otherExamples);
        window->show();
        return *window;
    }
    frmClass& Open() { return Open(registry); }
    frmClass& Open(const std::string& file) {
        Examine(file);
        return Open();
    }

    template <typename T>
    T* Find(const char* name) {
        T* found = window->findChild<T*>(name);
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    // Rows 1..N of a control array; element 0 is the hidden template.
    template <typename T>
    std::vector<T*> Rows(const char* name) {
        std::vector<T*> rows;
        for (T* w : window->findChildren<T*>(name))
            if (w->property("Index").toInt() >= 1) rows.push_back(w);
        return rows;
    }
    std::vector<QComboBox*> Boxes() { return Rows<QComboBox>("cmbValue"); }
    std::vector<QLabel*> Labels() { return Rows<QLabel>("lblName"); }
    QPushButton* Remember() { return Find<QPushButton>("Command3"); }
    bool WaitForRun() {
        return test::Eventually([&] { return window && Remember()->isEnabled(); });
    }
    bool WaitUntilGone() {
        return test::Eventually([&] {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            return window.isNull();
        });
    }
    static std::vector<std::string> List(QComboBox* box) {
        std::vector<std::string> list;
        for (int i = 0; i < box->count(); ++i) list.push_back(box->itemText(i).toStdString());
        return list;
    }
    std::string Dump(const std::string& path) {
        std::ostringstream text;
        DumpRegText(registry, path, text);
        return text.str();
    }
    std::int32_t StoredCount() { return test::Number(registry, ExamplesKeyPath(), "Count"); }

    ConfigTables state;
    FileExaminer examiner;
    ExampleStore examples{registry};
    std::unique_ptr<ExampleStore> otherExamples;
    QPointer<frmClass> window;
    std::ostringstream out, err;
};

TEST_F(frmClassTest, ThreeTargetsShowWhatTheCommandLineClassifies) {
    StoreWithExamples();
    const std::string query = Put("q0.exe", "alpha beta");
    ASSERT_EQ(Cli({"classify", "--json", query}), 0) << err.str();
    const auto targets = nlohmann::json::parse(out.str())["targets"];

    Open(query);
    EXPECT_EQ(window->windowTitle(), "Классификация исполняемого файла");
    EXPECT_FALSE(Remember()->isEnabled());
    EXPECT_TRUE(Remember()->isDefault());
    EXPECT_EQ(Find<QPushButton>("Command3")->text(), "Запомнить");
    EXPECT_EQ(Find<QPushButton>("Command4")->text(), "Отмена");
    ASSERT_TRUE(WaitForRun());

    const auto boxes = Boxes();
    const auto labels = Labels();
    ASSERT_EQ(boxes.size(), 3u);
    ASSERT_EQ(labels.size(), 3u);
    for (std::size_t k = 0; k < 3; ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(labels[k]->text().toStdString(), targets[k]["name"].get<std::string>());
        EXPECT_EQ(boxes[k]->currentText().toStdString(), targets[k]["text"].get<std::string>());
        EXPECT_EQ(List(boxes[k]), targets[k]["list"].get<std::vector<std::string>>());
        EXPECT_TRUE(boxes[k]->isEnabled());
        EXPECT_TRUE(boxes[k]->isVisible());
        EXPECT_TRUE(labels[k]->isVisible());
    }
    // The ID3 text is the last subset's majority, which here is not the first
    // entry of its list: the box keeps it although an entry was added after.
    EXPECT_EQ(boxes[0]->currentText(), "C");
    EXPECT_EQ(List(boxes[0]), (std::vector<std::string>{"B", "C", "", "A"}));

    // Rows stand 472 twips apart from the designed tops; every box opens
    // 3000 twips wide, right of the widest label.
    EXPECT_EQ(labels[0]->y(), Pixels(165));
    EXPECT_EQ(labels[1]->y(), Pixels(637));
    EXPECT_EQ(labels[2]->y(), Pixels(1109));
    int widest = 0;
    for (const QLabel* label : labels) widest = std::max(widest, label->width());
    for (std::size_t k = 0; k < 3; ++k) {
        EXPECT_EQ(boxes[k]->y(), Pixels(120 + 472 * static_cast<int>(k)));
        EXPECT_NEAR(boxes[k]->width(), Pixels(3000), 1);
        EXPECT_NEAR(boxes[k]->x(), labels[k]->x() + widest + Pixels(400), 1);
    }
    const QFrame* buttons = Find<QFrame>("frmButtons");
    EXPECT_GE(buttons->y(), boxes[2]->geometry().bottom());
    EXPECT_NEAR(buttons->x() + buttons->width() / 2, window->width() / 2, 1);
}

TEST_F(frmClassTest, ANarrowOrLowWindowKeepsBoxesWideAndButtonsBelowTheRows) {
    StoreWithExamples();
    Open(Put("q0.exe", "alpha"));
    ASSERT_TRUE(WaitForRun());
    window->resize(Pixels(1500), Pixels(600));
    for (QComboBox* box : Boxes()) EXPECT_EQ(box->width(), Pixels(1000));
    const QFrame* buttons = Find<QFrame>("frmButtons");
    EXPECT_EQ(buttons->y(), Pixels(472 * 3));
    EXPECT_GT(buttons->y(), Boxes()[2]->geometry().bottom());

    // A larger window gives the boxes the room and puts the buttons at the bottom.
    window->resize(Pixels(9000), Pixels(4000));
    for (QComboBox* box : Boxes())
        EXPECT_NEAR(box->geometry().right() + 1, window->width() - Labels()[0]->x(), 1);
    EXPECT_EQ(buttons->geometry().bottom() + 1, window->height());
}

TEST_F(frmClassTest, EnterDuringTheRunDoesNothingAndAfterItStoresTheExample) {
    StoreWithExamples();
    const std::int32_t before = StoredCount();
    const std::string query = Put("q0.exe", "gamma");
    Open(query);
    // Enter is pressed while the first row is computed, with the focus on Cancel.
    Find<QPushButton>("Command4")->setFocus();
    OnEvent during(Labels()[0], QEvent::Show, [&] { PostKey(window, Qt::Key_Return); });
    ASSERT_TRUE(WaitForRun());
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(StoredCount(), before);

    // After the run Enter, from a box the user edited, stores and closes.
    QComboBox* family = Boxes()[1];
    family->setFocus();
    family->lineEdit()->selectAll();
    QTest::keyClicks(family->lineEdit(), "violet");
    QTest::keyClick(family->lineEdit(), Qt::Key_Return);
    ASSERT_TRUE(WaitUntilGone());
    EXPECT_EQ(StoredCount(), before + 1);
    const std::string example = Dump(ExamplesKeyPath() + "\\Example" + std::to_string(before + 1));
    EXPECT_NE(example.find("\"Targetfam\"=\"violet\""), std::string::npos) << example;
    EXPECT_NE(example.find("\"Targetkind\"="), std::string::npos) << example;
    EXPECT_NE(example.find("\"Containgamma\"=dword:00000001"), std::string::npos) << example;
    // The box did not take the typed text into its list.
    EXPECT_FALSE(examiner.AttributesFresh());
}

TEST_F(frmClassTest, ReopeningAfterRememberCountsTheNewExample) {
    StoreWithExamples();
    const std::string query = Put("q0.exe", "alpha beta gamma");
    Open(query);
    ASSERT_TRUE(WaitForRun());
    EXPECT_EQ(StoredCount(), 7);
    QComboBox* kind = Boxes()[0];
    kind->lineEdit()->setFocus();
    kind->lineEdit()->selectAll();
    const int entries = kind->count();
    QTest::keyClicks(kind->lineEdit(), "brand new");
    EXPECT_EQ(kind->count(), entries);  // typing adds no entry
    QTest::mouseClick(Remember(), Qt::LeftButton);
    ASSERT_TRUE(WaitUntilGone());

    Open();  // the same file, not examined again
    ASSERT_TRUE(WaitForRun());
    EXPECT_EQ(StoredCount(), 8);
    // The file is now its own best match.
    EXPECT_EQ(Boxes()[0]->currentText(), "brand new");
    EXPECT_EQ(List(Boxes()[0])[0], "brand new");

    // Remember again without a new examination rewrites the same example.
    QTest::mouseClick(Remember(), Qt::LeftButton);
    ASSERT_TRUE(WaitUntilGone());
    EXPECT_EQ(StoredCount(), 8);
}

TEST_F(frmClassTest, ClosingDuringTheRunEndsItWithoutTouchingTheWindow) {
    StoreWithExamples();
    const std::string query = Put("q0.exe", "alpha beta");
    const std::int32_t before = StoredCount();

    // Esc while the second label waits for its row: the window goes during
    // the yield that follows.
    Open(query);
    OnEvent escape(Labels()[1], QEvent::Show, [&] { PostKey(window, Qt::Key_Escape); });
    ASSERT_TRUE(WaitUntilGone());

    // The close box while the ID3 walk shows its first majority class: the
    // window is deleted within the walk's yield.
    Open(query);
    QComboBox* kind = Boxes()[0];
    bool closed = false;
    QObject::connect(kind, &QComboBox::editTextChanged, kind, [&](const QString& text) {
        if (text.isEmpty() || closed) return;
        closed = true;
        window->close();
    });
    ASSERT_TRUE(WaitUntilGone());
    EXPECT_TRUE(closed);

    // Cancel after the run stores nothing either; a new window runs in full.
    Open(query);
    ASSERT_TRUE(WaitForRun());
    QTest::mouseClick(Find<QPushButton>("Command4"), Qt::LeftButton);
    ASSERT_TRUE(WaitUntilGone());
    EXPECT_EQ(StoredCount(), before);
    Open(query);
    ASSERT_TRUE(WaitForRun());
    EXPECT_EQ(Boxes()[0]->currentText(), "C");
}

TEST_F(frmClassTest, RowsKeepTheirTargetsWhenTheTargetTableIsEdited) {
    StoreWithExamples();
    const std::string query = Put("q0.exe", "alpha beta");
    Open(query);
    // While the first row is computed, the first target is deleted and two
    // are added: the run and Remember still follow the rows.
    OnEvent edit(Labels()[0], QEvent::Show, [&] {
        ASSERT_TRUE(SaveTargetTable(registry, state,
                                    {state.TargetTable[2],
                                     state.TargetTable[3],
                                     {"new", "New", "ID3-based"},
                                     {"new2", "New 2", "Free Bayes"}})
                        .ok());
    });
    ASSERT_TRUE(WaitForRun());
    ASSERT_EQ(state.TargetCount, 4);
    ASSERT_EQ(Boxes().size(), 3u);
    EXPECT_EQ(Labels()[0]->text(), "Kind of file");
    EXPECT_EQ(Boxes()[0]->currentText(), "C");
    for (std::size_t k = 0; k < 3; ++k) {
        Boxes()[k]->lineEdit()->setText(QString("v%1").arg(k + 1));
    }
    QTest::mouseClick(Remember(), Qt::LeftButton);
    ASSERT_TRUE(WaitUntilGone());
    const std::string example = Dump(ExamplesKeyPath() + "\\Example8");
    EXPECT_NE(example.find("\"Targetkind\"=\"v1\""), std::string::npos) << example;
    EXPECT_NE(example.find("\"Targetfam\"=\"v2\""), std::string::npos) << example;
    EXPECT_NE(example.find("\"Targetfb\"=\"v3\""), std::string::npos) << example;
    EXPECT_EQ(example.find("\"Targetnew"), std::string::npos) << example;
}

TEST_F(frmClassTest, AFailedRememberSaysSoAndKeepsTheValues) {
    StoreWithExamples();
    Registry closed;  // refuses every write, reads nothing
    Examine(Put("q0.exe", "alpha"));
    Open(closed);
    ASSERT_TRUE(WaitForRun());
    EXPECT_TRUE(Boxes()[0]->currentText().isEmpty());  // no examples read
    Boxes()[0]->lineEdit()->setText("typed");
    QTest::mouseClick(Remember(), Qt::LeftButton);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith(Text(registry, msg::kNotRemembered))) << messages[0].toStdString();
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(Boxes()[0]->currentText(), "typed");
    EXPECT_TRUE(examiner.AttributesFresh());
}

// The fault pinned: Remember on a store another writer held froze the whole
// program until the store's long wait ran out. Here the writer lets go after
// seconds: a window that waited would have stored the example without a word.
TEST_F(frmClassTest, AStoreHeldByAnotherWriterIsSaidAtOnceAndRememberCanBeTriedAgain) {
    StoreWithExamples();
    Registry store;
    ASSERT_TRUE(OpenProgramStore(store, dir.Store()));
    Examine(Put("q0.exe", "alpha"));
    Open(store);
    ASSERT_TRUE(WaitForRun());
    Boxes()[0]->lineEdit()->setText("typed");

    std::atomic<int> holding = -1;  // then 1 while the writer holds the store, 0 when it could not
    std::thread writer([&, path = dir.Store()] {
        sqlite3* db = nullptr;
        sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX, nullptr);
        holding = sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK ? 1 : 0;
        holding.notify_all();
        if (holding) std::this_thread::sleep_for(std::chrono::seconds(3));
        sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
        sqlite3_close_v2(db);
    });
    holding.wait(-1);
    EXPECT_EQ(holding, 1);
    const std::int32_t before = StoredCount();
    QTest::mouseClick(Remember(), Qt::LeftButton);
    writer.join();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains(Text(registry, msg::kStoreBusy))) << messages[0].toStdString();
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(Boxes()[0]->currentText(), "typed");
    EXPECT_EQ(StoredCount(), before);

    QTest::mouseClick(Remember(), Qt::LeftButton);
    EXPECT_EQ(messages.size(), 1);
    EXPECT_TRUE(WaitUntilGone());
    EXPECT_EQ(StoredCount(), before + 1);
}

TEST_F(frmClassTest, ExamplesThatCannotBeReadAreShownAsAFailureWithNothingToRemember) {
    StoreWithExamples();
    Examine(Put("q0.exe", "alpha"));
    // A connection made through the faulty file system, whose locks all fail.
    test::FaultVfs& vfs = test::FaultVfs::Install();
    Registry store;
    ASSERT_TRUE(store.Open(dir.Store()).ok());
    vfs.ArmFrom(test::FaultVfs::Kind::kLock, 1, test::FaultVfs::Fault::kIOError);
    Open(store);
    EXPECT_TRUE(test::Eventually([&] { return !messages.isEmpty(); }));
    vfs.Reset();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains(QString::fromStdString(dir.Store()))) << messages[0].toStdString();
    EXPECT_FALSE(Remember()->isEnabled());
}

TEST_F(frmClassTest, NoTargetsGiveNoRowsAndRememberAtOnce) {
    Open(Put("q0.exe", "alpha"));
    ASSERT_TRUE(WaitForRun());
    EXPECT_TRUE(Boxes().empty());
    EXPECT_EQ(Find<QFrame>("frmButtons")->y(), window->height() - Pixels(735));
    EXPECT_EQ(window->height(), Pixels(165 + 735));
}

TEST_F(frmClassTest, AValueBoxTakesAtMost1024Characters) {
    StoreWithExamples();
    Open(Put("q0.exe", "alpha"));
    ASSERT_TRUE(WaitForRun());
    QLineEdit* edit = Boxes()[2]->lineEdit();
    edit->setFocus();
    edit->clear();
    edit->insert(QString(1030, QChar(u'ж')));  // as a paste does
    EXPECT_EQ(edit->text().size(), 1024);
    QTest::mouseClick(Remember(), Qt::LeftButton);
    ASSERT_TRUE(WaitUntilGone());
    EXPECT_TRUE(messages.isEmpty());
    std::string stored;
    EXPECT_TRUE(registry.GetKeyText(ExamplesKeyPath() + "\\Example8", "Targetfb", stored));
    EXPECT_EQ(QString::fromStdString(stored), QString(1024, QChar(u'ж')));
}

// The faults pinned: after the run the focus was nowhere; and a value with a
// character the store lacks was stored as "?".
TEST_F(frmClassTest, AfterTheRunTheFirstBoxHasTheFocusAndUnstorableValuesAreRefused) {
    StoreWithExamples();
    Open(Put("q0.exe", "alpha"));
    ASSERT_TRUE(WaitForRun());
    ASSERT_TRUE(test::Eventually([&] {
        return Boxes()[0]->isAncestorOf(QApplication::focusWidget()) ||
               QApplication::focusWidget() == Boxes()[0];
    }));
    QLineEdit* family = Boxes()[1]->lineEdit();
    family->setText("日本✓");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);  // Enter is still Remember
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith(Text(registry, msg::kNotRemembered))) << messages[0].toStdString();
    EXPECT_TRUE(messages[0].contains("Family") && messages[0].contains("日") && messages[0].contains("✓"))
        << messages[0].toStdString();
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(family->text(), "日本✓");
    EXPECT_EQ(StoredCount(), 7);
}

// The fault pinned: with more targets than the screen's height holds, the
// window was taller than the screen, its title bar and buttons out of reach.
TEST_F(frmClassTest, RowsBeyondTheScreensHeightScrollAndTheButtonsStayInSight) {
    for (int k = 1; k <= ConfigTables::kMaxTargets; ++k)
        ASSERT_EQ(
            Cli({"targets", "add", "t" + std::to_string(k), "Target " + std::to_string(k), "Naive Bayes"}),
            0);
    Open(Put("q0.exe", "alpha"));
    ASSERT_TRUE(WaitForRun());
    const QRect screen = window->screen()->availableGeometry();
    ASSERT_LT(screen.height(), Boxes().back()->geometry().bottom()) << "the screen holds every row";
    EXPECT_LE(window->height(), screen.height());
    EXPECT_GE(window->y(), screen.top());
    auto* buttons = Find<QFrame>("frmButtons");
    EXPECT_EQ(buttons->geometry().bottom() + 1, window->height());
    EXPECT_FALSE(Remember()->visibleRegion().isEmpty());
    // Tab down the rows: the row that takes the focus scrolls into sight.
    EXPECT_TRUE(Boxes().back()->visibleRegion().isEmpty());
    for (std::size_t k = 1; k < Boxes().size(); ++k)
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    ASSERT_TRUE(Boxes().back()->isAncestorOf(QApplication::focusWidget()));
    EXPECT_FALSE(Boxes().back()->visibleRegion().isEmpty());
    EXPECT_FALSE(Remember()->visibleRegion().isEmpty());
}

}  // namespace
}  // namespace morvel

namespace morvel {
namespace {

// Each row tells why its value came out, on its name's tooltip and on F1,
// in the interface's language; a row without examples says so.
TEST_F(frmClassTest, EachRowTellsWhyItsValueCameOut) {
    StoreWithExamples();
    ASSERT_EQ(Cli({"targets", "add", "new", "New", "Decision tree"}), 0);
    Open(Put("q0.exe", "alpha beta"));
    ASSERT_TRUE(WaitForRun());
    const auto labels = Labels();
    const auto boxes = Boxes();
    ASSERT_EQ(labels.size(), 4u);

    // The walk: its first step over all seven examples of three kinds, an
    // attribute it tested with the file's value, and where the value comes from.
    const QString walk = labels[0]->toolTip();
    EXPECT_TRUE(walk.contains(Text(registry, msg::kWhyStep, {"1", "7", "3", "C", "4"})))
        << walk.toStdString();
    bool tested = false;
    for (std::int32_t s = 1; s <= state.AttributeCount; ++s)
        tested |= walk.contains(
            Text(registry, msg::kWhyTest, {SlotLine(registry, state, s, examiner.AttributeVector()[s])}));
    EXPECT_TRUE(tested) << walk.toStdString();
    EXPECT_TRUE(walk.contains(Text(registry, msg::kWhyWalkValue)));
    // Bayes: the chosen value against the next, and what counted for or against it.
    const QString bayes = labels[1]->toolTip();
    const QString chosen = boxes[1]->currentText();
    EXPECT_TRUE(bayes.contains(Text(registry, msg::kWhyFor, {chosen})) ||
                bayes.contains(Text(registry, msg::kWhyAgainst, {chosen})))
        << bayes.toStdString();
    EXPECT_EQ(labels[3]->toolTip(), Text(registry, msg::kWhyNoExamples));

    // F1 on the focused row tells the same.
    boxes[1]->setFocus();
    QTest::keyClick(boxes[1], Qt::Key_F1);
    ASSERT_FALSE(messages.isEmpty());
    EXPECT_TRUE(messages.back().contains(bayes));
    window->close();
    ASSERT_TRUE(WaitUntilGone());

    // In English once the English language file is imported.
    ParsedLanguage parsed;
    ASSERT_TRUE(
        ImportLanguageFile(registry, std::string(MORVEL_SOURCE_DIR) + "/Interfaces/English.lng", parsed)
            .ok());
    Open(Put("q0.exe", "alpha beta"));
    ASSERT_TRUE(WaitForRun());
    EXPECT_EQ(Labels()[3]->toolTip(), Text(registry, msg::kWhyNoExamples));
    EXPECT_NE(Labels()[3]->toolTip(), QString::fromUtf8(msg::kWhyNoExamples.russian));
    EXPECT_TRUE(Labels()[0]->toolTip().contains(Text(registry, msg::kWhyWalkValue)));
}

}  // namespace
}  // namespace morvel
