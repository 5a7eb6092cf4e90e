#include "file_search.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>

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
    // A folder that cannot be read contributes nothing.
    fs::permissions(dir / "sub", fs::perms::none);
    EXPECT_EQ(runUnprivileged([&] {
                  const Names expected{".h.bmp", "a.bmp", "B.bmp", "far/f.bmp", "_u.bmp"};
                  return found(root, "*.bmp", true) == expected ? 0 : 1;
              }),
              0);
    fs::permissions(dir / "sub", fs::perms::owner_all);  // so that it can be removed
}

// A folder that cannot be listed is named with the reason, not passed over: here one whose path is longer
// than the system takes (so that it fails for root too), below folders that are listed as usual.
TEST(ListFiles, NamesTheFoldersItCannotListAndLeavesOutTheBackupFolder) {
    TempDir dir;
    const std::string root = dir.path.string();
    writeFile(dir / "a.bmp", "x");
    writeFile(dir / "bak" / "old.bmp", "x");
    writeFile(dir / "bak" / "deeper" / "old.bmp", "x");
    writeFile(dir / "backup2" / "kept.bmp", "x");
    // Made one level at a time from descriptors: no single path names the deepest ones.
    const std::string level(200, 'd');
    int folder = open(root.c_str(), O_RDONLY | O_DIRECTORY);
    std::string deepest = root;
    for (int depth = 0; depth < 24 && folder >= 0; ++depth) {
        ASSERT_EQ(mkdirat(folder, level.c_str(), 0755), 0);
        const int next = openat(folder, level.c_str(), O_RDONLY | O_DIRECTORY);
        close(folder);
        folder = next;
        deepest += "/" + level;
    }
    ASSERT_GE(folder, 0);
    close(openat(folder, "deep.bmp", O_WRONLY | O_CREAT, 0644));
    close(folder);

    const batch::Listing listing = batch::ListFiles(root, "*.bmp", true, root + "/bak");
    EXPECT_EQ(listing.files, (std::vector<std::string>{root + "/a.bmp", root + "/backup2/kept.bmp"}));
    ASSERT_FALSE(listing.unlisted.empty());
    EXPECT_TRUE(deepest.starts_with(listing.unlisted.front().folder)) << listing.unlisted.front().folder;
    EXPECT_GT(listing.unlisted.front().folder.size(), std::size_t{PATH_MAX} - level.size());
    EXPECT_NE(listing.unlisted.front().reason.find("too long"), std::string::npos) << listing.unlisted.front().reason;
    // The source itself is listed even when it is the backup folder too, and without subfolders nothing
    // below is looked at.
    EXPECT_EQ(batch::ListFiles(root, "*.bmp", false, root).files, std::vector<std::string>{root + "/a.bmp"});
    EXPECT_TRUE(batch::ListFiles(root, "*.bmp", false).unlisted.empty());
    EXPECT_EQ(std::system(("rm -rf '" + root + "/" + level + "'").c_str()), 0);
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

// The start button's rule is checked through the window, click by click.
struct LabelCase {
    const char* name;
    std::string text;
    const char* expected;
};

class FolderTabTexts : public ::testing::TestWithParam<LabelCase> {};

TEST_P(FolderTabTexts, ReadAsTheWindowShowsThem) {
    EXPECT_EQ(GetParam().text, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Labels, FolderTabTexts,
    ::testing::Values(LabelCase{"CountIsTheNumberFound", batch::countLabelText(10, "Aucun", " fichier(s)"),
                                "10 fichier(s)"},
                      LabelCase{"NoFileShowsTheFirstMessage", batch::countLabelText(0, "Aucun", " fichier(s)"),
                                "Aucun"},
                      LabelCase{"ProgressCountsFromZeroToTheLast", batch::progressLabelText("Fichier ", 0, 10),
                                "Fichier 0/9"},
                      LabelCase{"ProgressOfOneEntry", batch::progressLabelText("", 0, 1), "0/0"},
                      LabelCase{"SourceFolderDropsOneSeparator", batch::sourceFolderText("/pictures//"),
                                "/pictures/"},
                      LabelCase{"RootStaysARoot", batch::sourceFolderText("/"), "/"}),
    [](const ::testing::TestParamInfo<LabelCase>& info) { return std::string(info.param.name); });

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
    const std::string src = (dir / "src").string();
    const std::string out = (dir / "out").string();
    fs::create_directories(dir / "out");
    const auto isFolder = [](const tarvik::Result<tarvik::FileHandle>& opened, const fs::path& expected) {
        struct stat got {}, want {};
        return opened && ::fstat(opened->fd(), &got) == 0 && ::stat(expected.c_str(), &want) == 0 &&
               got.st_ino == want.st_ino && got.st_dev == want.st_dev;
    };

    EXPECT_FALSE(batch::openMirrorFolder(src + "/day/icons/a.bmp", src, out, false));
    EXPECT_FALSE(fs::exists(dir / "out/day"));  // looking makes nothing
    EXPECT_TRUE(isFolder(batch::openMirrorFolder(src + "/day//icons/a.bmp", src, out, true), dir / "out/day/icons"));
    EXPECT_TRUE(isFolder(batch::openMirrorFolder(src + "/day/icons/b.bmp", src, out, false), dir / "out/day/icons"));
    EXPECT_TRUE(isFolder(batch::openMirrorFolder(src + "/a.bmp", src, out, false), dir / "out"));
    EXPECT_TRUE(isFolder(batch::openMirrorFolder(src + "/a.bmp", src + "/", out, false), dir / "out"));

    const auto refusal = [&](const std::string& entry) {
        tarvik::Result<tarvik::FileHandle> opened = batch::openMirrorFolder(entry, src, out, true);
        return opened ? std::string("opened") : opened.error().detail;
    };
    fs::create_directories(dir / "elsewhere");
    fs::create_directory_symlink(dir / "elsewhere", dir / "out/linked");
    EXPECT_NE(refusal(src + "/linked/new/a.bmp").find("symbolic link"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir / "elsewhere/new"));
    writeFile(dir / "out/file", "x");
    EXPECT_NE(refusal(src + "/file/a.bmp").find("a file has that name"), std::string::npos);
    EXPECT_NE(refusal(src + "/../a.bmp").find("leads out of"), std::string::npos);
    EXPECT_NE(refusal(src + "2/a.bmp").find("does not lie below"), std::string::npos);
    fs::permissions(dir / "out", fs::perms::owner_read | fs::perms::owner_exec);
    if (::access((dir / "out").c_str(), W_OK) != 0) {  // root writes anywhere
        EXPECT_NE(refusal(src + "/new/a.bmp").find(out + "/new: "), std::string::npos);
    }
    fs::permissions(dir / "out", fs::perms::owner_all);
}

}  // namespace
}  // namespace batch_test
