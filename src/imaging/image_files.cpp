#include "image_files.h"

#include "ascii_case.h"
#include "file_io.h"
#include "png_codec.h"

namespace imaging {

FileKind fileKindOf(std::span<const std::uint8_t> head) {
    if (isPngSignature(head)) {
        return FileKind::Png;
    }
    if (head.size() >= 2 && head[0] == 'B' && head[1] == 'M') {
        return FileKind::Bitmap;
    }
    if (head.size() >= 2 && head[0] == 'R' && head[1] == 'L') {
        return FileKind::Rl;
    }
    return FileKind::Unknown;
}

Result<FileKind> detectFileKind(const std::filesystem::path& path) {
    // Opened without waiting, the type checked on the descriptor: a pipe swapped in for the file would block.
    Result<tarvik::FileHandle> file = tarvik::openFileForReading(path);
    if (!file) {
        return file.error();
    }
    std::uint8_t head[8] = {};
    Result<std::size_t> got = tarvik::readSome(file->fd(), head, sizeof head);
    if (!got) {
        return got.error();
    }
    return fileKindOf(std::span<const std::uint8_t>(head, *got));
}

namespace {

struct PictureCodec {
    Status (*load)(const std::filesystem::path& path, ImageModel& model);
    Decoder decode;
};

const PictureCodec* pictureCodec(FileKind kind) {
    static constexpr PictureCodec Bitmap{LoadBitmapImage, decodeBitmap};
    static constexpr PictureCodec Png{LoadPngImage, decodePng};
    return kind == FileKind::Bitmap ? &Bitmap : kind == FileKind::Png ? &Png : nullptr;
}

Status notAPicture() {
    return tarvik::makeError(ErrorCode::NotThisFormat, "neither a Windows bitmap nor a PNG file");
}

}  // namespace

Status loadPicture(const std::filesystem::path& path, FileKind kind, ImageModel& model) {
    const PictureCodec* codec = pictureCodec(kind);
    return codec ? codec->load(path, model) : notAPicture();
}

Status decodePicture(std::span<const std::uint8_t> file, FileKind kind, ImageModel& model) {
    const PictureCodec* codec = pictureCodec(kind);
    return codec ? codec->decode(file, model) : notAPicture();
}

bool namesPngFile(const std::filesystem::path& path) {
    return tarvik::equalsIgnoringCase(path.extension().string(), ".png");
}

}  // namespace imaging
