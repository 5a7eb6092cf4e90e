// The damaged files every reader must refuse cleanly, whichever of its paths (whole file, streaming,
// header only) the command takes.

#include <climits>

#include "hostile_support.h"

namespace hostile {

namespace {

Bytes with(Bytes bytes, std::size_t offset, std::int64_t value, int size = 4) {
    put(bytes, offset, static_cast<std::uint32_t>(value), size);
    return bytes;
}

// A header alone, declaring a picture whose pixels are not there.
Bytes headerOnly(std::int64_t width, std::int64_t height, int depth) {
    Bytes bytes = makeBitmap(1, 1, depth, [](int, int) { return Rgba{}; });
    bytes.resize(54 + 64, 0x5A);
    return with(with(bytes, 18, width), 22, height);
}

}  // namespace

std::vector<NamedBytes> badBitmaps() {
    const Bytes good = spriteBitmap(4, 4, 7);  // 32-bit, 54 + 64 bytes
    const Bytes good24 = makeBitmap(4, 4, 24, [](int, int) { return Rgba{}; });
    std::vector<NamedBytes> files = {
        {"empty", {}},
        {"one_byte", {'B'}},
        {"two_bytes", {'B', 'M'}},
        {"header_53_bytes", Bytes(good.begin(), good.begin() + 53)},
        {"size_65535x65535", headerOnly(65535, 65535, 32)},
        {"size_65536x65536_wraps_to_0", headerOnly(65536, 65536, 24)},
        {"width_int_max", headerOnly(INT_MAX, 1, 24)},
        {"width_negative", with(good, 18, -4)},
        {"height_int_min", with(good, 22, INT_MIN)},
        {"height_negative_truncated", with(good, 22, -5)},
        {"offset_past_end", with(good, 10, 100000)},
        {"offset_negative", with(good, 10, -100)},
        {"offset_int_max", with(good, 10, INT_MAX)},
        {"pixels_truncated", Bytes(good.begin(), good.end() - 5)},
    };
    for (const int depth : {0, 1, 4, 8, 16, 64}) {
        files.push_back({"depth_" + std::to_string(depth), with(good24, 28, depth, 2)});
    }
    return files;
}

std::vector<NamedBytes> badRlFiles() {
    const std::vector<std::uint16_t> redBlue = {0xF800, 0x001F};
    const Bytes good = makeRl(4, 1, redBlue, {{0xFE, 1, 4}});
    Bytes rowDataMissing = makeRl(200, 1, redBlue, {Bytes(200, 1)});
    rowDataMissing.resize(rowDataMissing.size() - 150);
    return {
        {"rl_two_bytes", {'R', 'L'}},
        {"rl_header_11_bytes", Bytes(good.begin(), good.begin() + 11)},
        // No palette at all, not even the key entry, and a code naming entry 1.
        {"rl_palette_count_0_names_entry_1", {'R', 'L', 0, 0, 2, 0, 1, 0, 0, 0, 1, 0, 2, 1, 1}},
        {"rl_palette_count_65535", with(good, 8, 65535, 2)},
        {"rl_size_65535x65535", with(with(good, 4, 65535, 2), 6, 65535, 2)},
        {"rl_row_table_longer_than_file", with(good, 10, 1000, 2)},
        {"rl_row_data_missing", rowDataMissing},
        {"rl_rows_decode_past_image", makeRl(2, 2, redBlue, {{0xFE, 1, 200}, {}})},
        {"rl_run_code_crosses_row_end", makeRl(4, 2, redBlue, {{0xFE, 1}, {4, 0, 2, 2, 2}})},
        {"rl_index_past_palette", makeRl(4, 1, redBlue, {{1, 2, 9, 1}})},
        {"rl_run_index_past_palette", makeRl(4, 1, redBlue, {{0xFE, 0x40, 4}})},
    };
}

}  // namespace hostile
