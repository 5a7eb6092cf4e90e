#include "file_search.h"

#include <gtest/gtest.h>

#include "folder_tab.h"
#include "test_support.h"

namespace batch_test {
namespace {

using batch::FindFiles;
using Names = std::vector<std::string>;

// The list with the folder text taken off each entry, for readable expectations.
Names relativeTo(const std::string& folder, const Names& list) {
    Names out;
    for (const std::string& entry : list) {
        EXPECT_EQ(entry.rfind(folder + "/", 0), 0u) << entry;
        out.push_back(entry.substr(folder.size() + 1));
    }
    return out;
}

TEST(FileExtension, FromTheLastDotOrTheWholeName) {
    EXPECT_EQ(batch::FileExtension("a.bmp"), ".bmp");
    EXPECT_EQ(batch::FileExtension("b.c.BMP"), ".BMP");
    EXPECT_EQ(batch::FileExtension("a."), ".");
    EXPECT_EQ(batch::FileExtension("bmp"), "bmp");
    EXPECT_EQ(batch::FileExtension(".hidden"), ".hidden");
}

TEST(FindFiles, PatternComparesExtensionsInsideThePattern) {
    TempDir dir;
    for (const char* name :
         {"a.BMP", "b.c.bmp", "a.b", "a.bm", "a.", "bmp", "a.bmpx", "a.mp", "a.p", "c.txt"}) {
        writeText(dir / name, "x");
    }
    fs::create_directory(dir / "x.bmp");

    EXPECT_EQ(relativeTo(dir.str(), FindFiles(dir.str(), "*.bmp", false)),
              (Names{"a.", "a.b", "a.bm", "a.BMP", "b.c.bmp", "bmp"}));
    EXPECT_TRUE(FindFiles(dir.str(), "", false).empty());
    EXPECT_EQ(FindFiles(dir.str(), "*.*", false).size(), 10u);
    EXPECT_TRUE(batch::matchesPattern("A.BMP", "*.Bmp"));
    EXPECT_FALSE(batch::matchesPattern("a.p", "*.bmp"));
}

TEST(FindFiles, DepthFirstInCaseFreeNameOrderWithHiddenFiles) {
    TempDir dir;
    fs::create_directories(dir / "sub/deeper");
    for (const char* name :
         {"B.bmp", "a.bmp", "_u.bmp", "c.bmp", ".h.bmp", "sub/z.bmp", "sub/A.bmp", "sub/deeper/x.bmp"}) {
        writeText(dir / name, "x");
    }

    EXPECT_EQ(
        relativeTo(dir.str(), FindFiles(dir.str(), "*.bmp", true)),
        (Names{".h.bmp", "a.bmp", "B.bmp", "c.bmp", "sub/A.bmp", "sub/deeper/x.bmp", "sub/z.bmp", "_u.bmp"}));
    EXPECT_EQ(relativeTo(dir.str(), FindFiles(dir.str(), "*.bmp", false)),
              (Names{".h.bmp", "a.bmp", "B.bmp", "c.bmp", "_u.bmp"}));
    // A trailing separator on the folder does not double it in the entries.
    EXPECT_EQ(FindFiles(dir.str() + "/", "*.bmp", false).front(), dir.str() + "/.h.bmp");
    EXPECT_TRUE(FindFiles((dir / "missing").string(), "*.bmp", true).empty());
}

TEST(FindFiles, FollowsLinksToFilesButNotToFolders) {
    TempDir dir;
    fs::create_directories(dir / "src/sub");
    fs::create_directories(dir / "elsewhere");
    writeText(dir / "elsewhere/real.bmp", "x");
    writeText(dir / "elsewhere/far.bmp", "x");
    writeText(dir / "src/sub/a.bmp", "x");
    fs::create_directory_symlink(dir / "src", dir / "src/sub/loop");  // a loop back to the top
    fs::create_directory_symlink(dir / "elsewhere", dir / "src/away");
    fs::create_symlink(dir / "elsewhere/real.bmp", dir / "src/link.bmp");
    fs::create_symlink(dir / "nothing.bmp", dir / "src/dangling.bmp");

    std::string src = (dir / "src").string();
    EXPECT_EQ(relativeTo(src, FindFiles(src, "*.bmp", true)), (Names{"link.bmp", "sub/a.bmp"}));
}

TEST(FindFiles, UnreadableFolderContributesNothing) {
    TempDir dir;
    fs::create_directories(dir / "blocked");
    writeText(dir / "a.bmp", "x");
    writeText(dir / "blocked/b.bmp", "x");
    writeText(dir / "c.bmp", "x");
    fs::permissions(dir / "blocked", fs::perms::none);

    std::string folder = dir.str();
    int status = runUnprivileged([&] {
        Names found = relativeTo(folder, FindFiles(folder, "*.bmp", true));
        return found == Names{"a.bmp", "c.bmp"} ? 0 : 1;
    });
    EXPECT_EQ(status, 0);
}

TEST(PathExists, ExactPathsOnly) {
    TempDir dir;
    writeText(dir / "a.bmp", "x");
    EXPECT_TRUE(batch::PathExists((dir / "a.bmp").string()));
    EXPECT_TRUE(batch::PathExists(dir.str()));
    EXPECT_FALSE(batch::PathExists(dir.str() + "/"));
    EXPECT_FALSE(batch::PathExists("/"));
    EXPECT_FALSE(batch::PathExists(""));
    EXPECT_FALSE(batch::PathExists((dir / "b.bmp").string()));
}

TEST(TabRules, CountLabelShowsTheNumberFound) {
    EXPECT_EQ(batch::countLabelText(10, "Aucun fichier", " fichier(s)"), "10 fichier(s)");
    EXPECT_EQ(batch::countLabelText(1, "Aucun fichier", " fichier(s)"), "1 fichier(s)");
    EXPECT_EQ(batch::countLabelText(0, "Aucun fichier", " fichier(s)"), "Aucun fichier");
}

TEST(TabRules, StartButtonNeedsAMarkAndAnExistingBackupFolder) {
    EXPECT_FALSE(batch::startButtonState(false, true, true));
    EXPECT_TRUE(batch::startButtonState(true, true, false));
    EXPECT_FALSE(batch::startButtonState(true, false, false));
    EXPECT_TRUE(batch::startButtonState(true, false, true));  // keeps its state
}

TEST(TabRules, ProgressLabelAndSourceFolderText) {
    EXPECT_EQ(batch::progressLabelText("Fichier ", 0, 10), "Fichier 0/9");
    EXPECT_EQ(batch::progressLabelText("Fichier ", 9, 10), "Fichier 9/9");
    EXPECT_EQ(batch::progressLabelText("", 0, 1), "0/0");
    EXPECT_EQ(batch::sourceFolderText("/pictures/"), "/pictures");
    EXPECT_EQ(batch::sourceFolderText("/pictures//"), "/pictures/");
    EXPECT_EQ(batch::sourceFolderText("/pictures"), "/pictures");
    EXPECT_EQ(batch::sourceFolderText("/"), "/");
}

}  // namespace
}  // namespace batch_test
