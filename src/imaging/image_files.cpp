#include "image_files.h"

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

Status loadPicture(const std::filesystem::path& path, FileKind kind, ImageModel& model) {
    switch (kind) {
        case FileKind::Bitmap:
            return LoadBitmapImage(path, model);
        case FileKind::Png:
            return LoadPngImage(path, model);
        default:
            return tarvik::makeError(ErrorCode::NotThisFormat, "neither a Windows bitmap nor a PNG file");
    }
}

Status decodePicture(std::span<const std::uint8_t> file, FileKind kind, ImageModel& model) {
    switch (kind) {
        case FileKind::Bitmap:
            return decodeBitmap(file, model);
        case FileKind::Png:
            return decodePng(file, model);
        default:
            return tarvik::makeError(ErrorCode::NotThisFormat, "neither a Windows bitmap nor a PNG file");
    }
}

bool namesPngFile(const std::filesystem::path& path) {
    std::string extension = path.extension().string();
    for (char& c : extension) {
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    }
    return extension == ".png";
}

}  // namespace imaging
