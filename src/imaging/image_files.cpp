#include "image_files.h"

#include <fstream>

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
    if (Status usable = tarvik::checkIsFile(path); !usable) {
        return usable.error();
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return tarvik::makeError(ErrorCode::Io, "cannot open for reading");
    }
    std::uint8_t head[8] = {};
    in.read(reinterpret_cast<char*>(head), sizeof head);
    if (in.bad()) {
        return tarvik::makeError(ErrorCode::Io, "read error");
    }
    return fileKindOf(std::span<const std::uint8_t>(head, static_cast<std::size_t>(in.gcount())));
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
