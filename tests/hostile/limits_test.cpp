// Files crafted to make the program slow or hungry: colours picked to flood a hash table, images declaring
// far more pixels than memory holds. Each ends with a clear result, in bounded time and memory.

#include <gtest/gtest.h>

#include "hostile_support.h"

namespace hostile {
namespace {

// 256 x 256 different colours that a multiplicative hash (x * 0x9E3779B1, top bits kept) sends to a few
// neighbouring slots whatever the table size.
Bytes collidingColoursBitmap(unsigned variant) {
    std::vector<Rgba> pixels;
    for (std::uint32_t key = variant; key < (1u << 24) && pixels.size() < 65536; key += 1) {
        if (key * 0x9E3779B1u < (1u << 25)) {
            pixels.push_back(Rgba{static_cast<std::uint8_t>(key), static_cast<std::uint8_t>(key >> 8),
                                  static_cast<std::uint8_t>(key >> 16), 255});
        }
    }
    pixels.resize(65536, pixels.back());
    return testimages::makeBitmap(256, 256, pixels, 24);
}

// Counting colours must cost the same whatever the colours are: twenty such files took half a minute when
// they flooded the counting's hash table, and take a fraction of a second when counting is linear.
TEST(HostileLimits, CraftedColoursAreCountedInLinearTime) {
    ScratchDir root;
    const fs::path src = root / "src", bak = root / "bak";
    fs::create_directories(bak);
    const Bytes crafted = collidingColoursBitmap(0);
    for (int i = 0; i < 20; ++i) {
        writeFile(src / ("crafted" + std::to_string(i) + ".bmp"), crafted);
    }
    const RunResult info = runTool({"info", "--json", (src / "crafted0.bmp").string()},
                                   {.timeout = std::chrono::seconds(10)});
    ASSERT_EQ(info.exitCode, 0) << describe(info);
    EXPECT_NE(info.out.find("\"windows_colors\": 65536"), std::string::npos) << info.out;
    const RunResult batch = runTool({"batch", "compress", src.string(), bak.string(), "--jobs", "1"},
                                    {.timeout = std::chrono::seconds(10)});
    EXPECT_EQ(batch.exitCode, 0) << describe(batch);
    EXPECT_NE(batch.out.find("skipped (too many colours 20)"), std::string::npos) << batch.out;
}

// A legal RL file of 1.1 MB declaring 6000 x 6000 pixels: its pixel records alone would take 288 MB.
Bytes largeRl() {
    std::vector<Bytes> rows(6000);
    for (std::size_t y = 0; y < rows.size(); ++y) {
        std::uint8_t index = 1 + y % 2;
        for (int left = 6000; left > 0; left -= 255, index = 3 - index) {
            rows[y].insert(rows[y].end(), {0xFE, index, static_cast<std::uint8_t>(std::min(left, 255))});
        }
    }
    return makeRl(6000, 6000, {0xF800, 0x001F}, rows);
}

// With 192 MiB of address space, `info` and `decompress` read such a file in full, and a batch run converts
// it, where they used to abort on an allocation failure.
TEST(HostileLimits, LargeImagesAreReportedAndDecompressedInLittleMemory) {
    if (!testhelpers::addressSpaceLimitsApply()) {
        GTEST_SKIP() << "address-space limits mean nothing under AddressSanitizer";
    }
    ScratchDir root;
    const fs::path src = root / "src", bak = root / "bak";
    fs::create_directories(bak);
    writeFile(src / "large.bmp", largeRl());
    const RunOptions limited{.memoryLimit = std::uint64_t{192} << 20};
    const RunResult info = runTool({"info", "--json", (src / "large.bmp").string()}, limited);
    EXPECT_EQ(info.exitCode, 0) << describe(info);
    EXPECT_NE(info.out.find("\"width\": 6000, \"height\": 6000"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("\"transparent_pixels\": 0"), std::string::npos) << info.out;

    const fs::path out = root / "large-back.bmp";
    const RunResult single = runTool({"decompress", (src / "large.bmp").string(), out.string()}, limited);
    EXPECT_EQ(single.exitCode, 0) << describe(single);
    EXPECT_EQ(fs::file_size(out), 54u + 6000u * 6000u * 3u);
    const RunResult batch =
        runTool({"batch", "decompress", src.string(), bak.string(), "--jobs", "1"}, limited);
    EXPECT_EQ(batch.exitCode, 0) << describe(batch);
    EXPECT_EQ(readFile(bak / "large.bmp"), readFile(out));
    fs::remove(out);
    EXPECT_EQ(temporaryLeftovers(root.path()), std::vector<std::string>{});
}

}  // namespace
}  // namespace hostile
