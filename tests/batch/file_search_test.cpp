#include "file_search.h"

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
    // A folder that cannot be read contributes nothing.
    fs::permissions(dir / "sub", fs::perms::none);
    EXPECT_EQ(runUnprivileged([&] {
                  const Names expected{".h.bmp", "a.bmp", "B.bmp", "far/f.bmp", "_u.bmp"};
                  return found(root, "*.bmp", true) == expected ? 0 : 1;
              }),
              0);
    fs::permissions(dir / "sub", fs::perms::owner_all);  // so that it can be removed
}

TEST(FolderTab, PathExistsLabelsAndStartButton) {
    TempDir dir;
    const std::string root = dir.path.string();
    writeFile(dir / "a.bmp", "x");
    EXPECT_TRUE(batch::PathExists((dir / "a.bmp").string()));
    EXPECT_TRUE(batch::PathExists(root));
    for (const std::string& path : {root + "/", std::string("/"), std::string(), (dir / "b").string()}) {
        EXPECT_FALSE(batch::PathExists(path)) << path;
    }
    EXPECT_EQ(batch::countLabelText(10, "Aucun", " fichier(s)"), "10 fichier(s)");  // not one less
    EXPECT_EQ(batch::countLabelText(0, "Aucun", " fichier(s)"), "Aucun");
    EXPECT_EQ(batch::progressLabelText("Fichier ", 0, 10), "Fichier 0/9");
    EXPECT_EQ(batch::progressLabelText("", 0, 1), "0/0");
    EXPECT_EQ(batch::sourceFolderText("/pictures//"), "/pictures/");
    EXPECT_EQ(batch::sourceFolderText("/"), "/");
    // No marked entry disables; a marked one enables with an existing backup folder, else keeps the state.
    for (bool enabled : {false, true}) {
        EXPECT_FALSE(batch::startButtonState(false, true, enabled));
        EXPECT_TRUE(batch::startButtonState(true, true, enabled));
        EXPECT_EQ(batch::startButtonState(true, false, enabled), enabled);
    }
}

// Where the folders are made is checked by the runs.
TEST(Mirror, TargetPathsCutTheSourceTextAndAppendToTheBackupTextAsGiven) {
    EXPECT_EQ(batch::targetPath("/pictures/day/a.bmp", "/pictures", "/out"), "/out/day/a.bmp");
    EXPECT_EQ(batch::targetPath("/pictures/b.bmp", "/pictures", "/out/"), "/out//b.bmp");
    EXPECT_EQ(batch::targetPath("/a.bmp", "/", "/out"), "/out/a.bmp");
    EXPECT_EQ(batch::targetPath("/pictures2/a.bmp", "/pictures", "/out"), std::nullopt);
}

}  // namespace
}  // namespace batch_test
