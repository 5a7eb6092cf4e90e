#include "file_search.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "folder_tab.h"
#include "mirror.h"
#include "test_support.h"

namespace batch_test {
namespace {

// The search's entries, relative to the folder searched.
Names found(const std::string& folder, std::string_view pattern, bool subfolders) {
    Names out;
    for (const std::string& entry : batch::FindFiles(folder, pattern, subfolders)) {
        out.push_back(entry.rfind(folder + "/", 0) == 0 ? entry.substr(folder.size() + 1) : "bad: " + entry);
    }
    return out;
}

TEST(FindFiles, PatternComparesExtensionsInsideThePattern) {
    TempDir dir;
    const std::string root = dir.path.string();
    for (const char* name :
         {"a.BMP", "b.c.bmp", "a.b", "a.bm", "a.", "bmp", "a.bmpx", "a.mp", "a.p", "x.bmp/in"}) {
        writeFile(dir / name, "x");
    }
    EXPECT_EQ(found(root, "*.bmp", false), (Names{"a.", "a.b", "a.bm", "a.BMP", "b.c.bmp", "bmp"}));
    EXPECT_EQ(found(root, "", false), Names{});
    EXPECT_EQ(found(root, "*.*", false).size(), 9u);
}

TEST(FindFiles, DepthFirstCaseFreeOrderHiddenFilesLinksNotFollowed) {
    TempDir dir;
    const std::string root = dir.path.string();
    for (const char* name :
         {"B.bmp", "a.bmp", "_u.bmp", ".h.bmp", "sub/z.bmp", "sub/A.bmp", "sub/deep/x.bmp", "far/f.bmp"}) {
        writeFile(dir / name, "x");
    }
    fs::create_directory_symlink(dir.path, dir / "sub/loop");
    fs::create_directory_symlink(dir / "far", dir / "sub/far.bmp");
    fs::create_symlink(dir / "far/f.bmp", dir / "sub/link.bmp");
    fs::create_symlink(dir / "nothing.bmp", dir / "sub/dangling.bmp");
    // Upper-case folding puts "_" after the letters; links to folders are neither followed nor listed.
    EXPECT_EQ(found(root, "*.bmp", true), (Names{".h.bmp", "a.bmp", "B.bmp", "far/f.bmp", "sub/A.bmp",
                                                 "sub/deep/x.bmp", "sub/link.bmp", "sub/z.bmp", "_u.bmp"}));
    EXPECT_EQ(found(root, "*.bmp", false), (Names{".h.bmp", "a.bmp", "B.bmp", "_u.bmp"}));
    EXPECT_EQ(batch::FindFiles(root + "/", "*.bmp", false).front(), root + "/.h.bmp");
    // Folders that cannot be read: tests/hostile, through the program.
}

// The backup folder is left out, not a folder whose name merely begins like it; the source itself is listed
// even when it is the backup folder too.
TEST(ListFiles, LeavesOutTheBackupFolderButNotTheSource) {
    TempDir dir;
    const std::string root = dir.path.string();
    for (const char* name : {"a.bmp", "bak/old.bmp", "bak/deeper/old.bmp", "backup2/kept.bmp"}) {
        writeFile(dir / name, "x");
    }
    const batch::Listing listing = batch::ListFiles(root, "*.bmp", true, root + "/bak");
    EXPECT_EQ(listing.files, (Names{root + "/a.bmp", root + "/backup2/kept.bmp"}));
    EXPECT_TRUE(listing.unlisted.empty());
    EXPECT_EQ(batch::ListFiles(root, "*.bmp", false, root).files, Names{root + "/a.bmp"});
}

TEST(PathExists, FilesAndFoldersButNotRootsOrPathsEndingInASeparator) {
    TempDir dir;
    const std::string root = dir.path.string();
    writeFile(dir / "a.bmp", "x");
    EXPECT_TRUE(batch::PathExists((dir / "a.bmp").string()));
    EXPECT_TRUE(batch::PathExists(root));
    for (const std::string& path : {root + "/", std::string("/"), std::string(), (dir / "b").string()}) {
        EXPECT_FALSE(batch::PathExists(path)) << path;
    }
}

// The file count is checked through the window (tests/shell); these are the edge cases it does not reach.
TEST(FolderTab, ProgressCountsFromZeroAndFolderTextsDropOneSeparator) {
    EXPECT_EQ(batch::progressLabelText("Fichier ", 0, 10), "Fichier 0/9");
    EXPECT_EQ(batch::progressLabelText("", 0, 1), "0/0");
    EXPECT_EQ(batch::sourceFolderText("/pictures//"), "/pictures/");
    EXPECT_EQ(batch::sourceFolderText("/"), "/");
}

TEST(Mirror, TargetPathsCutTheSourceTextAndAppendToTheBackupTextAsGiven) {
    EXPECT_EQ(batch::targetPath("/pictures/day/a.bmp", "/pictures", "/out"), "/out/day/a.bmp");
    EXPECT_EQ(batch::targetPath("/pictures/b.bmp", "/pictures", "/out/"), "/out//b.bmp");
    EXPECT_EQ(batch::targetPath("/a.bmp", "/", "/out"), "/out/a.bmp");
    EXPECT_EQ(batch::targetPath("/pictures2/a.bmp", "/pictures", "/out"), std::nullopt);
}

// The folder a target goes to: made below the backup folder as the entry lies below the source, and never
// reached through a link or out of the backup folder.
TEST(Mirror, OpenMirrorFolderMakesTheFoldersBelowTheBackupAndFollowsNoLink) {
    TempDir dir;
    const std::string src = (dir / "src").string(), out = (dir / "out").string();
    fs::create_directories(dir / "out");
    const auto opens = [&](const std::string& entry, const std::string& source, bool create,
                           const fs::path& expected) {
        const tarvik::Result<tarvik::FileHandle> opened = batch::openMirrorFolder(entry, source, out, create);
        struct stat got {
        }, want{};
        return opened && ::fstat(opened->fd(), &got) == 0 && ::stat(expected.c_str(), &want) == 0 &&
               got.st_ino == want.st_ino && got.st_dev == want.st_dev;
    };
    EXPECT_FALSE(batch::openMirrorFolder(src + "/day/icons/a.bmp", src, out, false));
    EXPECT_FALSE(fs::exists(dir / "out/day"));  // looking makes nothing
    EXPECT_TRUE(opens(src + "/day//icons/a.bmp", src, true, dir / "out/day/icons"));
    EXPECT_TRUE(opens(src + "/day/icons/b.bmp", src, false, dir / "out/day/icons"));
    EXPECT_TRUE(opens(src + "/a.bmp", src, false, dir / "out"));
    EXPECT_TRUE(opens(src + "/a.bmp", src + "/", false, dir / "out"));

    const auto refusal = [&](const std::string& entry) {
        const tarvik::Result<tarvik::FileHandle> opened = batch::openMirrorFolder(entry, src, out, true);
        return opened ? std::string("opened") : opened.error().detail;
    };
    fs::create_directories(dir / "elsewhere");
    fs::create_directory_symlink(dir / "elsewhere", dir / "out/linked");
    EXPECT_THAT(refusal(src + "/linked/new/a.bmp"), HasSubstr("symbolic link"));
    EXPECT_FALSE(fs::exists(dir / "elsewhere/new"));
    writeFile(dir / "out/file", "x");
    EXPECT_THAT(refusal(src + "/file/a.bmp"), HasSubstr("a file has that name"));
    EXPECT_THAT(refusal(src + "/../a.bmp"), HasSubstr("leads out of"));
    EXPECT_THAT(refusal(src + "2/a.bmp"), HasSubstr("does not lie below"));
    fs::permissions(dir / "out", fs::perms::owner_read | fs::perms::owner_exec);
    if (::access((dir / "out").c_str(), W_OK) != 0) {  // root writes anywhere
        EXPECT_THAT(refusal(src + "/new/a.bmp"), HasSubstr(out + "/new: "));
    }
    fs::permissions(dir / "out", fs::perms::owner_all);
}

}  // namespace
}  // namespace batch_test
