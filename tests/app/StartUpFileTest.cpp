#include <gtest/gtest.h>

#include "TestSupport.h"
#include "app/StartUp.h"
#include "core/store/KeyPaths.h"

namespace morvel {
namespace {

TEST(StartUpFileTest, TheCommandLineFileIsExaminedWithTheStoredSequences) {
    test::TempDir dir;
    Registry registry;
    ASSERT_TRUE(registry.Open(dir.Store()).ok());
    registry.OpenKey(ContainKeyPath());
    registry.SetKeyNumber(ContainKeyPath(), "Count", 1);
    registry.SetKeyText(ContainKeyPath(), "Value1", "MZ");
    test::WriteFile(dir / "my file.exe", "MZ");

    ConfigTables state;
    FileExaminer examiner;
    StartUp(registry, state, examiner, {dir / "my", "file.exe"});
    EXPECT_EQ(state.CurrentFile, dir / "my file.exe");
    EXPECT_TRUE(state.AttributesValid);
    EXPECT_GT(state.PlatformVersion, 0);
    EXPECT_EQ(examiner.AttributeVector()[17], 1);
    EXPECT_EQ(state.AttributeNames[17], "ContainMZ");

    StartUp(registry, state, examiner, {});
    EXPECT_EQ(state.CurrentFile, "");
    EXPECT_FALSE(state.AttributesValid);
    StartUp(registry, state, examiner,
            {"\"" + dir / "my file.exe" + "\""});  // quotes are kept, so nothing opens
    EXPECT_FALSE(state.AttributesValid);
}

}  // namespace
}  // namespace morvel
