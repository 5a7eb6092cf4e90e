// The single-image commands on files that are no files to read or write: each one ends with exit 1 and a
// message naming the file, never a signal or a hang, and the output file it was asked for stays as it was.
// (Damaged files: every reader is tried on them in tests/imaging.)

#include "hostile_support.h"

namespace hostile {
namespace {

TEST(HostileFiles, FoldersLinkLoopsPipesAndUnreadableFilesAreRefused) {
    TempDir dir;
    writeFile(dir / "folder.bmp" / "inside.bmp", spriteBitmap(4, 4, 2));
    fs::create_symlink("loop_b.bmp", dir / "loop_a.bmp");
    fs::create_symlink("loop_a.bmp", dir / "loop_b.bmp");
    fs::create_symlink("self.bmp", dir / "self.bmp");
    writeFile(dir / "locked.bmp", spriteBitmap(8, 8, 5));
    fs::permissions(dir / "locked.bmp", fs::perms::none);
    writeFile(dir / "out.bmp", PreviousOutput);
    // Opening a named pipe waits for a writer: reading one must be refused, not hang.
    ASSERT_EQ(mkfifo((dir / "pipe.bmp").c_str(), 0644), 0);
    giveToUnprivilegedUser(dir.path);
    Strings names = {"folder.bmp", "loop_a.bmp", "self.bmp", "pipe.bmp"};
    if (permissionsApply()) {
        names.push_back("locked.bmp");
    } else {
        std::cout << "locked.bmp not tried: running as root and cannot drop to an unprivileged user\n";
    }
    for (const auto& name : names) {
        const std::string in = (dir / name).string(), out = (dir / "out.bmp").string();
        for (const char* command : {"compress", "decompress"}) {
            expectCleanFailure({command, in, out}, in, {.unprivileged = true});
        }
        expectCleanFailure({"info", in}, in, {.unprivileged = true});
    }
    EXPECT_EQ(readFile(dir / "out.bmp"), PreviousOutput);
    // Nor is a pipe or a folder replaced by a conversion written over it.
    writeFile(dir / "good.bmp", spriteBitmap(8, 8, 3));
    for (const char* target : {"pipe.bmp", "folder.bmp"}) {
        expectCleanFailure({"compress", (dir / "good.bmp").string(), (dir / target).string()},
                           (dir / target).string());
    }
    EXPECT_TRUE(fs::is_fifo(dir / "pipe.bmp"));
    EXPECT_TRUE(fs::exists(dir / "folder.bmp" / "inside.bmp"));
}

}  // namespace
}  // namespace hostile
