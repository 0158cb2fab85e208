#include "GuiSupport.h"
#include "ui/Messages.h"
#include "ui/ProgramStore.h"

namespace morvel {
namespace {

class ProgramStoreTest : public test::GuiTest {};

// The fault pinned: a file that is not a store was named with an English
// reason, and the program went on without its settings until Remember failed.
TEST_F(ProgramStoreTest, AFileThatIsNotAStoreIsNamedInRussianLeftAsItIsAndStopsTheProgram) {
    const std::string path = dir / "notes.sqlite";
    const std::string bytes = "These are my notes, not a database.\n";
    test::WriteFile(path, bytes);
    Registry store;
    EXPECT_FALSE(OpenProgramStore(store, path));
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith(Text(store, msg::kStoreUnavailable, {QString::fromStdString(path)})))
        << messages[0].toStdString();
    EXPECT_FALSE(store.IsOpen());
    EXPECT_EQ(test::ReadFile(path), bytes);
}

TEST_F(ProgramStoreTest, AStoreOpensWithoutAWord) {
    Registry store;
    EXPECT_TRUE(OpenProgramStore(store, dir / "fresh.sqlite"));
    EXPECT_TRUE(store.IsOpen());
    EXPECT_TRUE(messages.isEmpty());
}

}  // namespace
}  // namespace morvel
