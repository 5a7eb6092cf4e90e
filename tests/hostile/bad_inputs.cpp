#include "bad_inputs.h"

#include <climits>

namespace hostile {

namespace {

Bytes withBitmapField(Bytes bytes, std::size_t offset, std::int32_t value, bool sixteenBits = false) {
    sixteenBits ? put16(bytes, offset, static_cast<std::uint16_t>(value)) : put32(bytes, offset, value);
    return bytes;
}

// A header alone, declaring a picture whose pixels are not there.
Bytes headerOnly(std::int32_t width, std::int32_t height, int depth, std::size_t extraBytes) {
    Bytes bytes = makeBitmap(1, 1, depth, [](int, int) { return Rgba{}; });
    bytes.resize(54 + extraBytes, 0x5A);
    put32(bytes, 18, width);
    put32(bytes, 22, height);
    return bytes;
}

}  // namespace

std::vector<NamedBytes> badBitmaps() {
    const Bytes good = spriteBitmap(4, 4, 7);   // 32-bit, 54 + 64 bytes
    const Bytes good24 = noisyBitmap(4, 4, 7);  // 24-bit, 54 + 48 bytes
    std::vector<NamedBytes> files = {
        {"empty", {}},
        {"one_byte", {'B'}},
        {"two_bytes", {'B', 'M'}},
        {"header_53_bytes", Bytes(good.begin(), good.begin() + 53)},
        {"size_65535x65535", headerOnly(65535, 65535, 32, 64)},
        {"size_16384x16384_no_pixels", headerOnly(16384, 16384, 32, 64)},
        {"size_65536x65536_wraps_to_0", headerOnly(65536, 65536, 24, 64)},
        {"width_int_max", headerOnly(INT_MAX, 1, 24, 64)},
        {"width_negative", withBitmapField(good, 18, -4)},
        {"width_zero", withBitmapField(good, 18, 0)},
        {"height_zero", withBitmapField(good, 22, 0)},
        {"height_int_min", withBitmapField(good, 22, INT_MIN)},
        {"height_negative_truncated", withBitmapField(good, 22, -5)},
        {"offset_past_end", withBitmapField(good, 10, 100000)},
        {"offset_negative", withBitmapField(good, 10, -100)},
        {"offset_inside_header", withBitmapField(good, 10, 10)},
        {"offset_int_max", withBitmapField(good, 10, INT_MAX)},
        {"offset_leaves_too_few_bytes", withBitmapField(good, 10, 60)},
        {"pixels_truncated", Bytes(good.begin(), good.end() - 5)},
        {"pixels_truncated_24", Bytes(good24.begin(), good24.end() - 4)},
    };
    for (const int depth : {0, 1, 4, 8, 16, 64}) {
        files.push_back({"depth_" + std::to_string(depth), withBitmapField(good24, 28, depth, true)});
    }
    return files;
}

std::vector<NamedBytes> badRlFiles() {
    const std::vector<std::uint16_t> redBlue = {0xF800, 0x001F};
    std::vector<NamedBytes> files = {
        {"rl_two_bytes", {'R', 'L'}},
        // No palette at all, not even the key entry, and a code naming entry 1.
        {"rl_palette_count_0_names_entry_1", {'R', 'L', 0, 0, 2, 0, 1, 0, 0, 0, 1, 0, 2, 1, 1}},
        {"rl_index_past_palette", makeRl(4, 1, redBlue, {{1, 2, 9, 1}})},
        {"rl_run_index_past_palette", makeRl(4, 1, redBlue, {{0xFE, 0x40, 4}})},
        {"rl_rows_decode_past_image", makeRl(2, 2, redBlue, {{0xFE, 1, 200}, {}})},
        {"rl_run_code_crosses_row_end", makeRl(4, 2, redBlue, {{0xFE, 1}, {4, 0, 2, 2, 2}})},
    };
    const Bytes example = makeRl(10, 1, redBlue, {{0xFE, 1, 5, 0, 0, 2, 2, 2}});
    files.push_back({"rl_header_11_bytes", Bytes(example.begin(), example.begin() + 11)});
    Bytes paletteHuge = makeRl(4, 1, redBlue, {{0xFE, 1, 4}});
    put16(paletteHuge, 8, 65535);
    files.push_back({"rl_palette_count_65535", paletteHuge});
    Bytes rowTableLong = makeRl(4, 1, redBlue, {{0xFE, 1, 4}});
    put16(rowTableLong, 10, 1000);
    files.push_back({"rl_row_table_longer_than_file", rowTableLong});
    Bytes rowDataMissing = makeRl(200, 1, redBlue, {Bytes(200, 1)});
    rowDataMissing.resize(rowDataMissing.size() - 150);
    files.push_back({"rl_row_data_missing", rowDataMissing});
    Bytes flagTwo = makeRl(4, 1, redBlue, {{0xFE, 1, 4}});
    put16(flagTwo, 2, 2);
    files.push_back({"rl_alpha_flag_2", flagTwo});
    Bytes huge = makeRl(4, 1, redBlue, {{0xFE, 1, 4}});
    put16(huge, 4, 65535);
    put16(huge, 6, 65535);
    files.push_back({"rl_size_65535x65535", huge});
    return files;
}

}  // namespace hostile
