// `tarvikbmp info|compress|decompress`: the image tab's single-image job from a terminal. Scripts rely on
// the names, the JSON keys and the exit codes (0 done, 1 failed, 2 usage).

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <system_error>

#include "commands.h"
#include "image_model.h"

namespace cli {

namespace {

namespace fs = std::filesystem;

constexpr int ExitOk = 0;
constexpr int ExitFailed = 1;

void fail(const std::string& path, const std::string& reason) {
    std::fprintf(stderr, "tarvikbmp: %s: %s\n", path.c_str(), reason.c_str());
}

std::string jsonString(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
                    out += escaped;
                } else {
                    out += c;
                }
        }
    }
    return out + "\"";
}

// What the information panel shows; absent values print as null (JSON) or "n/a" (text).
struct ImageInfo {
    std::string format = "unknown";
    std::optional<std::int64_t> fileSize, width, height, bitDepth, windowsColors, compressedColors,
        alphaPixels, transparentPixels;
    bool compressible = false;
};

std::string jsonNumber(const std::optional<std::int64_t>& value) {
    return value ? std::to_string(*value) : "null";
}

void printJson(const ImageInfo& info) {
    std::string out = "{\"format\": " + jsonString(info.format);
    const std::pair<const char*, const std::optional<std::int64_t>*> numbers[] = {
        {"file_size", &info.fileSize},
        {"width", &info.width},
        {"height", &info.height},
        {"bit_depth", &info.bitDepth},
        {"windows_colors", &info.windowsColors},
        {"compressed_colors", &info.compressedColors},
        {"alpha_pixels", &info.alphaPixels},
        {"transparent_pixels", &info.transparentPixels},
    };
    for (const auto& [key, value] : numbers) {
        out += std::string(", \"") + key + "\": " + jsonNumber(*value);
    }
    out += std::string(", \"compressible\": ") + (info.compressible ? "true" : "false") + "}\n";
    std::fputs(out.c_str(), stdout);
}

void printText(const ImageInfo& info) {
    auto line = [](const char* label, const std::string& value) {
        std::printf("%-21s%s\n", label, value.c_str());
    };
    auto number = [](const std::optional<std::int64_t>& value, const char* unit) {
        return value ? std::to_string(*value) + unit : std::string("n/a");
    };
    const std::string format = info.format == "bmp"  ? "Windows bitmap"
                               : info.format == "rl" ? "RL (compressed)"
                                                     : "unknown";
    line("Format:", format);
    line("File size:", number(info.fileSize, " bytes"));
    if (info.format == "unknown") {
        return;
    }
    line("Width:", number(info.width, " pixels"));
    line("Height:", number(info.height, " pixels"));
    line("Colour depth:", number(info.bitDepth, " bits"));
    line("Colours:", number(info.windowsColors, ""));
    line("Colours in 16 bits:", number(info.compressedColors, ""));
    line("Pixels with alpha:", number(info.alphaPixels, ""));
    line("Transparent pixels:", number(info.transparentPixels, ""));
    line("Compressible:", info.compressible ? "yes" : "no");
}

int runInfo(const std::string& file, bool json) {
    const fs::path path(file);
    const imaging::Result<std::string> signature = imaging::ReadSignature(path);
    if (!signature) {
        fail(file, "cannot read: " + signature.error().detail);
        return ExitFailed;
    }
    ImageInfo info;
    imaging::ImageModel model;
    if (*signature == "BM") {
        // The statistics without the pixels: a report on a large file needs no copy of it in memory.
        if (const imaging::Status status = imaging::inspectBitmapImage(path, model); !status) {
            fail(file, "cannot read the bitmap: " + status.error().detail);
            return ExitFailed;
        }
        info.format = "bmp";
        info.fileSize = model.BmpFileSize;
        info.bitDepth = model.BitDepth;
        info.windowsColors = model.WindowsColorCount;
        info.alphaPixels = model.AlphaPixelCount;
        info.transparentPixels = model.TransparentPixelCount;
        info.compressedColors = model.CompressedColorCount;
        info.compressible = model.CompressedColorCount < imaging::CompressibleColorLimit;
    } else if (*signature == "RL") {
        if (const imaging::Status status = imaging::LoadCompressedImage(path, model); !status) {
            fail(file, "cannot read the RL file: " + status.error().detail);
            return ExitFailed;
        }
        info.format = "rl";
        std::error_code ec;
        info.fileSize = static_cast<std::int64_t>(fs::file_size(path, ec));
        info.bitDepth = 16;
        info.compressedColors = model.RlPaletteCount - 1;
        const imaging::AlphaCounts counts = imaging::countAlphaPixels(model.Pixels);
        info.alphaPixels = counts.alphaPixels;
        info.transparentPixels = counts.transparentPixels;
    } else {
        std::error_code ec;
        const std::uintmax_t size = fs::file_size(path, ec);
        if (!ec) {
            info.fileSize = static_cast<std::int64_t>(size);
        }
    }
    if (info.format != "unknown") {
        info.width = model.Width;
        info.height = model.Height;
    }
    json ? printJson(info) : printText(info);
    if (info.format == "unknown") {
        fail(file, "unknown file type (neither a Windows bitmap nor an RL file)");
        return ExitFailed;
    }
    return ExitOk;
}

// Reads IN with the reader its signature asks for and writes OUT; OUT stays as it was on any failure.
int runConversion(const std::string& in, const std::string& out, bool compress) {
    const char* wanted = compress ? "BM" : "RL";
    const imaging::Result<std::string> signature = imaging::ReadSignature(in);
    if (!signature) {
        fail(in, "cannot read: " + signature.error().detail);
        return ExitFailed;
    }
    if (*signature != wanted) {
        fail(in, compress ? "not a Windows bitmap (it does not start with \"BM\")"
                          : "not an RL file (it does not start with \"RL\")");
        return ExitFailed;
    }
    imaging::ImageModel model;
    if (compress) {
        // Streams the bitmap twice instead of holding it: the same bytes as load-then-save.
        if (const imaging::Status status = imaging::compressBitmapFile(in, out, model); !status) {
            fail(in, status.error().code == imaging::ErrorCode::Io
                         ? status.error().detail
                         : "cannot compress: " + status.error().detail);
            return ExitFailed;
        }
        return ExitOk;
    }
    if (const imaging::Status loaded = imaging::LoadCompressedImage(in, model); !loaded) {
        fail(in, loaded.error().detail);
        return ExitFailed;
    }
    if (const imaging::Status saved = imaging::SaveBitmapImage(out, model); !saved) {
        // A file system failure concerns OUT; anything else is about what IN holds.
        if (saved.error().code == imaging::ErrorCode::Io) {
            fail(out, "cannot write: " + saved.error().detail);
        } else {
            fail(in, "cannot decompress: " + saved.error().detail);
        }
        return ExitFailed;
    }
    return ExitOk;
}

}  // namespace

void addImageCommands(CLI::App& app, int& exitCode) {
    struct Arguments {
        std::string file, in, out;
        bool json = false;
    };
    auto args = std::make_shared<Arguments>();

    CLI::App* info =
        app.add_subcommand("info", "Show a bitmap's or RL file's size, depth, colours and alpha");
    info->add_option("FILE", args->file, "Windows bitmap or RL file")->required();
    info->add_flag("--json", args->json, "Print one JSON object instead of text lines");
    info->callback([args, &exitCode] { exitCode = runInfo(args->file, args->json); });

    CLI::App* compress = app.add_subcommand("compress", "Convert a 24/32-bit Windows bitmap into an RL file");
    compress->add_option("IN", args->in, "Windows bitmap to read")->required();
    compress->add_option("OUT", args->out, "RL file to write (replaced only on success)")->required();
    compress->callback([args, &exitCode] { exitCode = runConversion(args->in, args->out, true); });

    CLI::App* decompress = app.add_subcommand("decompress", "Convert an RL file into a Windows bitmap");
    decompress->add_option("IN", args->in, "RL file to read")->required();
    decompress->add_option("OUT", args->out, "Windows bitmap to write (replaced only on success)")
        ->required();
    decompress->callback([args, &exitCode] { exitCode = runConversion(args->in, args->out, false); });
}

}  // namespace cli
