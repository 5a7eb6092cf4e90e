#include "mirror.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace batch_test {
namespace {

TEST(TargetPath, SourceFolderTextReplacedByBackupFolderText) {
    EXPECT_EQ(batch::targetPath("/pictures/day/a.bmp", "/pictures", "/out"), "/out/day/a.bmp");
    EXPECT_EQ(batch::targetPath("/pictures/b.bmp", "/pictures", "/out"), "/out/b.bmp");
    EXPECT_EQ(batch::targetPath("/pictures/b.bmp", "/pictures", "/out/"), "/out//b.bmp");  // as given
    EXPECT_EQ(batch::targetPath("/a.bmp", "/", "/out"), "/out/a.bmp");
    EXPECT_EQ(batch::targetPath("/a.bmp", "", "/out"), "/out/a.bmp");
    EXPECT_EQ(batch::targetPath("/pictures2/a.bmp", "/pictures", "/out"), std::nullopt);
    EXPECT_EQ(batch::targetPath("/other/a.bmp", "/pictures", "/out"), std::nullopt);
    EXPECT_EQ(batch::targetPath("/pictures", "/pictures", "/out"), std::nullopt);
}

TEST(CreateMirrorFolders, MakesOnlyTheFoldersThatLeadToTheEntry) {
    TempDir dir;
    std::string src = (dir / "pictures").string();
    std::string out = (dir / "out").string();
    fs::create_directories(dir / "out");

    ASSERT_TRUE(batch::CreateMirrorFolders(src + "/b.bmp", src, out));
    EXPECT_TRUE(fs::is_empty(dir / "out"));

    ASSERT_TRUE(batch::CreateMirrorFolders(src + "/day/icons/a.bmp", src, out));
    EXPECT_TRUE(fs::is_directory(dir / "out/day/icons"));
    EXPECT_EQ(snapshot(dir / "out").size(), 2u);
    EXPECT_TRUE(batch::CreateMirrorFolders(src + "/day/icons/a.bmp", src, out));  // already there
}

TEST(CreateMirrorFolders, FailsWhereAFileBearsTheFoldersName) {
    TempDir dir;
    std::string src = (dir / "pictures").string();
    std::string out = (dir / "out").string();
    fs::create_directories(dir / "out");
    writeText(dir / "out/day", "a file, not a folder");

    tarvik::Status made = batch::CreateMirrorFolders(src + "/day/icons/a.bmp", src, out);
    ASSERT_FALSE(made);
    EXPECT_EQ(made.error().code, tarvik::ErrorCode::Io);
    EXPECT_NE(made.error().detail.find("day"), std::string::npos);
    EXPECT_FALSE(batch::CreateMirrorFolders("/elsewhere/a.bmp", src, out));
}

}  // namespace
}  // namespace batch_test
