// Files crafted to make the program slow or hungry: colours picked to flood a hash table, images declaring
// far more pixels than memory holds. Each ends with a clear result, in bounded time and memory.

#include "hostile_support.h"

namespace hostile {
namespace {

using HostileLimits = HostileTrees;

// Counting colours must cost the same whatever the colours are: twenty files of 256 x 256 colours that a
// multiplicative hash (x * 0x9E3779B1, top bits kept) sends to a few neighbouring slots whatever the table
// size took half a minute when they flooded the counting's hash table.
TEST_F(HostileLimits, CraftedColoursAreCountedInLinearTime) {
    std::vector<Rgba> pixels;
    for (std::uint32_t key = 0; key < (1u << 24) && pixels.size() < 65536; ++key) {
        if (key * 0x9E3779B1u < (1u << 25)) {
            pixels.push_back(Rgba{static_cast<int>(key & 255), static_cast<int>(key >> 8 & 255),
                                  static_cast<int>(key >> 16)});
        }
    }
    pixels.resize(65536, pixels.back());
    for (int i = 0; i < 20; ++i) {
        writeFile(src / ("crafted" + std::to_string(i) + ".bmp"),
                  testimages::makeBitmap(256, 256, pixels, 24));
    }
    fs::create_directories(bak);
    const RunOptions quick{.timeout = std::chrono::seconds(10)};
    const RunResult info = runTool({"info", "--json", (src / "crafted0.bmp").string()}, quick);
    EXPECT_THAT(info.out, HasSubstr("\"windows_colors\": 65536")) << describe(info);
    const RunResult batch = runBatch("compress", {"--jobs", "1"}, quick);
    EXPECT_EQ(batch.exitCode, 0) << describe(batch);
    EXPECT_THAT(batch.out, HasSubstr("skipped (too many colours 20)"));
}

// With 192 MiB of address space, `info` and `decompress` read a legal RL file of 1.1 MB declaring
// 6000 x 6000 pixels (its pixel records alone would take 288 MB) in full, and a batch run converts it,
// where they used to abort on an allocation failure.
TEST_F(HostileLimits, LargeImagesAreReportedAndDecompressedInLittleMemory) {
    if (!addressSpaceLimitsApply()) {
        GTEST_SKIP() << "address-space limits mean nothing under AddressSanitizer";
    }
    std::vector<Bytes> rows(6000);
    for (std::size_t y = 0; y < rows.size(); ++y) {
        std::uint8_t index = 1 + y % 2;
        for (int left = 6000; left > 0; left -= 255, index = 3 - index) {
            rows[y].insert(rows[y].end(), {0xFE, index, static_cast<std::uint8_t>(std::min(left, 255))});
        }
    }
    writeFile(src / "large.bmp", testimages::makeRl(6000, 6000, {0xF800, 0x001F}, rows));
    fs::create_directories(bak);
    const RunOptions limited{.memoryLimit = std::uint64_t{192} << 20};
    const RunResult info = runTool({"info", "--json", (src / "large.bmp").string()}, limited);
    EXPECT_EQ(info.exitCode, 0) << describe(info);
    EXPECT_THAT(info.out, testing::AllOf(HasSubstr("\"width\": 6000, \"height\": 6000"),
                                         HasSubstr("\"transparent_pixels\": 0")));
    const fs::path out = root / "large-back.bmp";
    const RunResult single = runTool({"decompress", (src / "large.bmp").string(), out.string()}, limited);
    EXPECT_EQ(single.exitCode, 0) << describe(single);
    EXPECT_EQ(fs::file_size(out), 54u + 6000u * 6000u * 3u);
    EXPECT_EQ(runBatch("decompress", {"--jobs", "1"}, limited).exitCode, 0);
    EXPECT_EQ(readFile(bak / "large.bmp"), readFile(out));
    expectNoTemporaries();
}

}  // namespace
}  // namespace hostile
