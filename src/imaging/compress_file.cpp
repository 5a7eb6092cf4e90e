#include <system_error>

#include "bmp_stream.h"
#include "file_io.h"
#include "rl_encoder.h"

namespace imaging {

using tarvik::makeError;

Status compressBitmapFile(const std::filesystem::path& bitmap, const std::filesystem::path& target,
                          ImageModel& model) {
    if (target.empty()) {
        return makeError(ErrorCode::Io, "no destination given");
    }
    std::error_code ec;
    const auto modifiedBefore = std::filesystem::last_write_time(bitmap, ec);
    // First pass: header, statistics and palette, exactly as LoadBitmapImage finds them.
    if (Status status = inspectBitmapImage(bitmap, model); !status) {
        return status;
    }
    Result<detail::RlEncoder> encoder = detail::RlEncoder::start(model);
    if (!encoder) {
        return encoder.error();
    }

    // Second pass: the codes, top row first, one row of records at a time.
    ImageModel again;
    Result<detail::BitmapFileRows> rows = detail::BitmapFileRows::open(bitmap, again);
    if (!rows) {
        return rows.error();
    }
    const detail::BitmapLayout& layout = rows->layout();
    if (layout.width != static_cast<std::uint32_t>(model.Width) ||
        layout.height != static_cast<std::uint32_t>(model.Height)) {
        return makeError(ErrorCode::Io, "the file changed while it was read");
    }
    std::vector<PixelRecord> records(layout.width);
    Status rowStatus;
    Status walk = rows->forEachRow(false, [&](const std::uint8_t* bytes) {
        if (!rowStatus) {
            return;
        }
        for (std::uint32_t x = 0; x < layout.width; ++x, bytes += layout.bytesPerPixel) {
            records[x] = detail::recordFromBytes(bytes, layout.bytesPerPixel);
        }
        rowStatus = encoder->addRow(records.data());
    });
    if (!walk) {
        return walk;
    }
    if (!rowStatus) {
        return rowStatus;
    }
    // The palette came from the first pass: a file rewritten in between would get wrong codes.
    if (encoder->paletteMissed() || std::filesystem::last_write_time(bitmap, ec) != modifiedBefore || ec) {
        return makeError(ErrorCode::Io, "the file changed while it was read");
    }
    if (Status written = tarvik::writeFileAtomically(target, std::move(encoder.value()).finish()); !written) {
        return makeError(ErrorCode::Io, "cannot write " + target.string() + ": " + written.error().detail);
    }
    return {};
}

}  // namespace imaging
