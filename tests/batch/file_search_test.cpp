#include "file_search.h"

#include <gtest/gtest.h>

#include "folder_tab.h"
#include "mirror.h"
#include "test_support.h"

namespace batch_test {
namespace {

using Names = std::vector<std::string>;

// The search's entries below folder, relative to it.
Names found(const std::string& folder, std::string_view pattern, bool subfolders) {
    Names out;
    for (const std::string& entry : batch::FindFiles(folder, pattern, subfolders)) {
        EXPECT_EQ(entry.rfind(folder + "/", 0), 0u) << entry;
        out.push_back(entry.substr(folder.size() + 1));
    }
    return out;
}

TEST(FindFiles, PatternComparesExtensionsInsideThePattern) {
    TempDir dir;
    for (const char* name :
         {"a.BMP", "b.c.bmp", "a.b", "a.bm", "a.", "bmp", "a.bmpx", "a.mp", "a.p", "c.txt"}) {
        writeFile(dir / name, "x");
    }
    fs::create_directory(dir / "x.bmp");
    EXPECT_EQ(found(dir.str(), "*.bmp", false), (Names{"a.", "a.b", "a.bm", "a.BMP", "b.c.bmp", "bmp"}));
    EXPECT_TRUE(found(dir.str(), "", false).empty());
    EXPECT_EQ(found(dir.str(), "*.*", false).size(), 10u);
    EXPECT_EQ(batch::FileExtension("bmp"), "bmp");
    EXPECT_EQ(batch::FileExtension("b.c.BMP"), ".BMP");
}

TEST(FindFiles, DepthFirstInCaseFreeNameOrderWithHiddenFiles) {
    TempDir dir;
    for (const char* name :
         {"B.bmp", "a.bmp", "_u.bmp", "c.bmp", ".h.bmp", "sub/z.bmp", "sub/A.bmp", "sub/deep/x.bmp"}) {
        writeFile(dir / name, "x");
    }
    // Upper-case folding puts "_" after the letters.
    EXPECT_EQ(found(dir.str(), "*.bmp", true), (Names{".h.bmp", "a.bmp", "B.bmp", "c.bmp", "sub/A.bmp",
                                                      "sub/deep/x.bmp", "sub/z.bmp", "_u.bmp"}));
    EXPECT_EQ(found(dir.str(), "*.bmp", false), (Names{".h.bmp", "a.bmp", "B.bmp", "c.bmp", "_u.bmp"}));
    EXPECT_EQ(batch::FindFiles(dir.str() + "/", "*.bmp", false).front(), dir.str() + "/.h.bmp");
    EXPECT_TRUE(batch::FindFiles(dir.str() + "/missing", "*.bmp", true).empty());
}

TEST(FindFiles, LinksToFilesListedLinksToFoldersNotFollowed) {
    TempDir dir;
    writeFile(dir / "elsewhere/real.bmp", "x");
    writeFile(dir / "src/sub/a.bmp", "x");
    fs::create_directory_symlink(dir / "src", dir / "src/sub/loop");
    fs::create_directory_symlink(dir / "elsewhere", dir / "src/away.bmp");
    fs::create_symlink(dir / "elsewhere/real.bmp", dir / "src/link.bmp");
    fs::create_symlink(dir / "nothing.bmp", dir / "src/dangling.bmp");
    EXPECT_EQ(found((dir / "src").string(), "*.bmp", true), (Names{"link.bmp", "sub/a.bmp"}));
}

TEST(FindFiles, UnreadableFolderContributesNothing) {
    TempDir dir;
    for (const char* name : {"a.bmp", "blocked/b.bmp", "c.bmp"}) {
        writeFile(dir / name, "x");
    }
    fs::permissions(dir / "blocked", fs::perms::none);
    EXPECT_EQ(runUnprivileged([&] {
                  return found(dir.str(), "*.bmp", true) == Names{"a.bmp", "c.bmp"} ? 0 : 1;
              }),
              0);
}

TEST(PathExists, ExactPathsOnly) {
    TempDir dir;
    writeFile(dir / "a.bmp", "x");
    EXPECT_TRUE(batch::PathExists((dir / "a.bmp").string()));
    EXPECT_TRUE(batch::PathExists(dir.str()));
    EXPECT_FALSE(batch::PathExists(dir.str() + "/"));
    EXPECT_FALSE(batch::PathExists("/"));
    EXPECT_FALSE(batch::PathExists(""));
    EXPECT_FALSE(batch::PathExists((dir / "b.bmp").string()));
}

TEST(TabRules, LabelsButtonAndFolderText) {
    EXPECT_EQ(batch::countLabelText(10, "Aucun", " fichier(s)"), "10 fichier(s)");
    EXPECT_EQ(batch::countLabelText(1, "Aucun", " fichier(s)"), "1 fichier(s)");
    EXPECT_EQ(batch::countLabelText(0, "Aucun", " fichier(s)"), "Aucun");
    EXPECT_FALSE(batch::startButtonState(false, true, true));
    EXPECT_TRUE(batch::startButtonState(true, true, false));
    EXPECT_FALSE(batch::startButtonState(true, false, false));
    EXPECT_TRUE(batch::startButtonState(true, false, true));
    EXPECT_EQ(batch::progressLabelText("Fichier ", 0, 10), "Fichier 0/9");
    EXPECT_EQ(batch::progressLabelText("", 0, 1), "0/0");
    EXPECT_EQ(batch::sourceFolderText("/pictures/"), "/pictures");
    EXPECT_EQ(batch::sourceFolderText("/pictures//"), "/pictures/");
    EXPECT_EQ(batch::sourceFolderText("/"), "/");
}

TEST(Mirror, TargetPathCutsTheSourceFolderTextOff) {
    EXPECT_EQ(batch::targetPath("/pictures/day/a.bmp", "/pictures", "/out"), "/out/day/a.bmp");
    EXPECT_EQ(batch::targetPath("/pictures/b.bmp", "/pictures", "/out/"), "/out//b.bmp");  // as given
    EXPECT_EQ(batch::targetPath("/a.bmp", "/", "/out"), "/out/a.bmp");
    EXPECT_EQ(batch::targetPath("/pictures2/a.bmp", "/pictures", "/out"), std::nullopt);
    EXPECT_EQ(batch::targetPath("/pictures", "/pictures", "/out"), std::nullopt);
}

TEST(Mirror, CreatesOnlyTheFoldersLeadingToTheEntry) {
    TempDir dir;
    const std::string src = (dir / "pictures").string(), out = (dir / "out").string();
    fs::create_directories(dir / "out");
    ASSERT_TRUE(batch::CreateMirrorFolders(src + "/b.bmp", src, out));
    EXPECT_TRUE(fs::is_empty(dir / "out"));
    ASSERT_TRUE(batch::CreateMirrorFolders(src + "/day/icons/a.bmp", src, out));
    ASSERT_TRUE(batch::CreateMirrorFolders(src + "/day/icons/a.bmp", src, out));
    EXPECT_EQ(snapshot(dir / "out").size(), 2u);
    EXPECT_TRUE(fs::is_directory(dir / "out/day/icons"));

    writeFile(dir / "out/night", "a file where a folder should go");
    tarvik::Status blocked = batch::CreateMirrorFolders(src + "/night/a.bmp", src, out);
    ASSERT_FALSE(blocked);
    EXPECT_NE(blocked.error().detail.find("night"), std::string::npos);
}

}  // namespace
}  // namespace batch_test
