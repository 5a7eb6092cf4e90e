// Damaged, hostile and huge-declaring files: every reader refuses each one for the same reason, whichever of
// its paths it takes (bytes in memory, the file read as far as the header says, the file streamed), without
// allocating what the header declares; and a conversion refused so leaves its target as it was.

#include <gtest/gtest.h>

#include <climits>

#include "image_model.h"
#include "test_images.h"

using namespace imaging;
using namespace testimages;

namespace {

struct Damaged {
    std::string name;
    Bytes bytes;
    ErrorCode code;
};

std::vector<Damaged> damagedBitmaps() {
    const Bytes good = spriteBitmap(4, 4, 7);  // 32-bit, 54 + 64 bytes
    // A header alone, declaring a picture whose pixels are not there.
    Bytes header = makeBitmap(1, 1, {Rgba{}});
    header.resize(54 + 64, 0x5A);
    std::vector<Damaged> files = {
        {"empty", {}, ErrorCode::Truncated},
        {"header_53_bytes", Bytes(good.begin(), good.begin() + 53), ErrorCode::Truncated},
        {"width_0", withField(good, 18, 0), ErrorCode::Corrupt},
        {"height_0", withField(good, 22, 0), ErrorCode::Corrupt},
        {"width_negative", withField(good, 18, -4), ErrorCode::Corrupt},
        {"width_int_max", withField(header, 18, INT_MAX), ErrorCode::TooLarge},
        {"height_int_min", withField(good, 22, INT_MIN), ErrorCode::TooLarge},
        {"size_65535x65535", withField(withField(header, 18, 65535), 22, 65535), ErrorCode::TooLarge},
        {"size_65536x65536_wraps_to_0", withField(withField(header, 18, 65536), 22, 65536),
         ErrorCode::TooLarge},
        // Sizes are checked against the file before anything is allocated.
        {"height_5000", withField(good, 22, 5000), ErrorCode::Truncated},
        {"height_negative_truncated", withField(good, 22, -5), ErrorCode::Truncated},
        {"offset_past_end", withField(good, 10, 100000), ErrorCode::Corrupt},
        {"offset_negative", withField(good, 10, -100), ErrorCode::Corrupt},
        {"offset_int_max", withField(good, 10, INT_MAX), ErrorCode::Corrupt},
        {"pixels_truncated", Bytes(good.begin(), good.end() - 5), ErrorCode::Truncated},
    };
    for (const int depth : {0, 1, 4, 8, 16, 64}) {
        files.push_back(
            {"depth_" + std::to_string(depth), withField(good, 28, depth, 2), ErrorCode::Unsupported});
    }
    return files;
}

std::vector<Damaged> damagedRlFiles() {
    const Bytes rl = redGapBlueRl();  // 10 x 1, two colours
    const std::vector<std::uint16_t> redBlue = {0xF800, 0x001F};
    Bytes rowDataMissing = makeRl(200, 1, redBlue, {Bytes(200, 1)});
    rowDataMissing.resize(rowDataMissing.size() - 150);
    return {
        {"header_11_bytes", Bytes(rl.begin(), rl.begin() + 11), ErrorCode::Truncated},
        {"alpha_flag_2", withField(rl, 2, 2, 2), ErrorCode::Corrupt},
        // No palette at all, not even the key entry, and a code naming entry 1.
        {"palette_count_0_names_entry_1",
         {'R', 'L', 0, 0, 2, 0, 1, 0, 0, 0, 1, 0, 2, 1, 1},
         ErrorCode::Corrupt},
        {"palette_count_65535", withField(rl, 8, 65535, 2), ErrorCode::Truncated},
        {"size_65535x65535", withField(withField(rl, 4, 65535, 2), 6, 65535, 2), ErrorCode::TooLarge},
        // 27 bytes cannot describe 16 million pixels.
        {"size_4096x4096", withField(withField(rl, 4, 4096, 2), 6, 4096, 2), ErrorCode::Corrupt},
        {"row_table_longer_than_file", withField(rl, 10, 1000, 2), ErrorCode::Truncated},
        {"row_data_missing", rowDataMissing, ErrorCode::Truncated},
        {"one_pixel_more_than_the_image", withField(rl, 4, 9, 2), ErrorCode::Corrupt},
        {"run_code_crosses_row_end", makeRl(4, 2, redBlue, {{0xFE, 1}, {4, 0, 2, 2, 2}}), ErrorCode::Corrupt},
        {"index_one_past_the_slots", makeRl(2, 1, {0xF800}, {{1, 3}}), ErrorCode::Corrupt},  // 0..P
        {"run_index_past_palette", makeRl(4, 1, redBlue, {{0xFE, 0x40, 4}}), ErrorCode::Corrupt},
    };
}

class DamagedFiles : public testing::Test {
protected:
    // `in` holds the damaged bytes; `out` is a target that must survive.
    void SetUp() override { writeFile(dir / "out", Bytes{'o', 'l', 'd'}); }
    void expectRefusedEverywhere(const Damaged& file,
                                 const std::vector<std::pair<const char*, Status>>& statuses) {
        SCOPED_TRACE(file.name);
        std::string expected, got;
        for (const auto& [path, status] : statuses) {
            expected += std::string(path) + ": " + tarvik::errorCodeName(file.code) + "; ";
            got += std::string(path) + ": " +
                   (status ? "accepted" : tarvik::errorCodeName(status.error().code)) + "; ";
        }
        EXPECT_EQ(got, expected);
        EXPECT_EQ(readFile(dir / "out"), (Bytes{'o', 'l', 'd'}));
        EXPECT_EQ(readFile(dir / "in"), file.bytes);
        EXPECT_EQ(dir.entryCount(), 2u);  // no temporary left behind
    }
    TempDir dir;
};

}  // namespace

TEST_F(DamagedFiles, EveryBitmapReaderRefusesThemForTheSameReason) {
    for (const Damaged& file : damagedBitmaps()) {
        writeFile(dir / "in", file.bytes);
        ImageModel decoded, loaded, inspected, compressed;
        expectRefusedEverywhere(file,
                                {{"decode", decodeBitmap(file.bytes, decoded)},
                                 {"load", LoadBitmapImage(dir / "in", loaded)},
                                 {"inspect", inspectBitmapImage(dir / "in", inspected)},
                                 {"compress", compressBitmapFile(dir / "in", dir / "out", compressed)}});
    }
}

TEST_F(DamagedFiles, EveryRlReaderRefusesThemForTheSameReason) {
    for (const Damaged& file : damagedRlFiles()) {
        writeFile(dir / "in", file.bytes);
        ImageModel decoded, loaded, inspected, inspectedBytes, decompressed;
        AlphaCounts counts;
        expectRefusedEverywhere(file,
                                {{"decode", decodeCompressed(file.bytes, decoded)},
                                 {"load", LoadCompressedImage(dir / "in", loaded)},
                                 {"inspect", inspectCompressedImage(dir / "in", inspected, counts)},
                                 {"inspect bytes", inspectCompressed(file.bytes, inspectedBytes, counts)},
                                 {"decompress", decompressFile(dir / "in", dir / "out", decompressed)}});
    }
}
