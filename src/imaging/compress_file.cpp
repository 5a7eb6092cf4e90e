#include "bmp_stream.h"
#include "file_io.h"
#include "rl_encoder.h"

namespace imaging {

using tarvik::makeError;

Status compressBitmapFile(const std::filesystem::path& bitmap, const std::filesystem::path& target,
                          ImageModel& model) {
    if (target.empty()) {
        return tarvik::outputError(ErrorCode::Io, "no destination given");
    }
    return compressBitmapFile(bitmap, model, [&](std::vector<std::uint8_t> bytes) {
        return tarvik::writeFileAtomically(target, bytes);
    });
}

Status compressBitmapFile(const std::filesystem::path& bitmap, ImageModel& model,
                          const std::function<Status(std::vector<std::uint8_t>)>& sink) {
    // Read once: the palette of the first pass and the codes of the second come from the same bytes, so a
    // file rewritten meanwhile cannot give codes the palette does not hold.
    Result<std::vector<std::uint8_t>> file = readImageFile(bitmap, Reader::Bitmap);
    if (!file) {
        return file.error();
    }
    // First pass: header, statistics and palette, exactly as LoadBitmapImage finds them.
    Result<detail::BitmapLayout> scanned = detail::scanBitmapBytes(file.value(), model, false);
    if (!scanned) {
        return scanned.error();
    }
    const detail::BitmapLayout& layout = scanned.value();
    Result<detail::RlEncoder> encoder = detail::RlEncoder::start(model);
    if (!encoder) {
        return encoder.error();
    }
    // Second pass: the codes, top row first, one row of records at a time.
    std::vector<PixelRecord> records(layout.width);
    std::vector<std::uint8_t> normalized(layout.normalize ? layout.rowStride : 0);
    for (std::uint64_t n = 0; n < layout.height; ++n) {
        const std::uint8_t* bytes =
            file->data() + layout.fileRowOffset(layout.fileRowOfUpright(layout.height - 1 - n));
        if (layout.normalize) {
            detail::normalizeRow(layout, bytes, normalized.data());
            bytes = normalized.data();
        }
        for (std::uint32_t x = 0; x < layout.width; ++x, bytes += layout.bytesPerPixel) {
            records[x] = detail::recordFromBytes(bytes, layout.bytesPerPixel);
        }
        if (Status status = encoder->addRow(records.data()); !status) {
            return status;
        }
    }
    std::vector<std::uint8_t>().swap(file.value());
    return sink(std::move(encoder.value()).finish());
}

}  // namespace imaging
