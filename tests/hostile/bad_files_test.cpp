// The single-image commands on damaged and odd files: each one ends with exit 1 and a message naming
// the file, never a signal or a hang, and the output file it was asked for stays exactly as it was.

#include "hostile_support.h"

namespace hostile {
namespace {

class BadFile : public testing::TestWithParam<NamedBytes> {};
TEST_P(BadFile, IsRefusedByInfoAndTheConversionIntoAnExistingFile) {
    ScratchDir dir;
    const fs::path in = dir / (GetParam().name + ".bmp"), out = dir / "out.bmp";
    writeFile(in, GetParam().bytes);
    writeFile(out, PreviousOutput);
    const std::string conversion = GetParam().name.starts_with("rl_") ? "decompress" : "compress";
    expectCleanFailure({"info", in.string()}, in.string());
    expectCleanFailure({"info", "--json", in.string()}, in.string());
    expectCleanFailure({conversion, in.string(), out.string()}, in.string());
    EXPECT_EQ(readFile(out), PreviousOutput);
    EXPECT_EQ(readFile(in), GetParam().bytes);
    EXPECT_EQ(dir.entryCount(), 2u);  // no temporary
}
INSTANTIATE_TEST_SUITE_P(Hostile, BadFile, testing::ValuesIn(badFiles()),
                         [](const auto& info) { return info.param.name; });

TEST(HostileFiles, FoldersLinkLoopsPipesAndUnreadableFilesAreRefused) {
    ScratchDir dir;
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

// Found by fuzzing: the streaming loader once counted the colours of this one opaque red pixel (24 bits)
// differently from the in-memory decoder, so `info` and `compress` disagreed about the same file.
TEST(FuzzRegressions, EveryBitmapReaderCountsTheSameColours) {
    const Bytes oneRedPixel = {
        0x42, 0x4d, 0x3a, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x36, 0x00, 0x00, 0x00, 0x28,
        0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x00, 0x18, 0x00,
        0x00, 0x00, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x13, 0x0b, 0x00, 0x00, 0x13, 0x0b, 0x00,
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xff, 0x00,
    };
    ScratchDir dir;
    writeFile(dir / "red.bmp", oneRedPixel);
    imaging::ImageModel decoded, loaded, inspected;
    ASSERT_TRUE(imaging::decodeBitmap(oneRedPixel, decoded).ok());
    ASSERT_TRUE(imaging::LoadBitmapImage(dir / "red.bmp", loaded).ok());
    ASSERT_TRUE(imaging::inspectBitmapImage(dir / "red.bmp", inspected).ok());
    for (const imaging::ImageModel* model : {&decoded, &loaded, &inspected}) {
        EXPECT_EQ(model->WindowsColorCount, 1);
        EXPECT_EQ(model->CompressedColorCount, 1);
        EXPECT_EQ(model->PaletteColors, (std::vector<std::int32_t>{0xF800, 0}));
    }
    const RunResult info = runTool({"info", "--json", (dir / "red.bmp").string()});
    EXPECT_THAT(info.out, HasSubstr("\"windows_colors\": 1, \"compressed_colors\": 1")) << describe(info);
}

}  // namespace
}  // namespace hostile
