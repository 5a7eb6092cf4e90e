// `tarvikbmp info|compress|decompress`: the image tab's single-image job from a terminal. Scripts rely on
// the names, the JSON keys and the exit codes (0 done, 1 failed, 2 usage).

#include <sys/stat.h>

#include <cmath>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <system_error>

#include "assessment.h"
#include "commands.h"
#include "file_io.h"
#include "fitter.h"
#include "image_files.h"
#include "image_model.h"
#include "png_codec.h"

namespace cli {

namespace {

namespace fs = std::filesystem;

constexpr int ExitOk = 0;
constexpr int ExitFailed = 1;

void fail(const std::string& path, const std::string& reason) {
    std::fprintf(stderr, "tarvikbmp: %s: %s\n", shown(path).c_str(), shown(reason).c_str());
}

// A 32-bit bitmap whose alpha bytes are all 0 is read as it says, fully transparent (a blank frame may
// mean just that); more often it was saved without alpha, which is better noticed before the file reaches
// the target program. The conversion goes on.
void warnIfAllTransparent(const std::string& path, const imaging::ImageModel& model) {
    const std::int64_t pixels = std::int64_t{model.Width} * model.Height;
    if (model.BitDepth == 32 && pixels > 0 && model.TransparentPixelCount == pixels) {
        std::fprintf(stderr,
                     "tarvikbmp: %s: warning: every pixel is fully transparent (all alpha bytes are 0); "
                     "was it saved without alpha?\n",
                     shown(path).c_str());
    }
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
    // Bitmaps and PNG files only: whether plain compression takes them, and what fitting would start from.
    std::optional<bool> fits;
    std::optional<std::int64_t> longestRowBytes, fitFreeCombinations;
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
    out += std::string(", \"compressible\": ") + (info.compressible ? "true" : "false");
    out += std::string(", \"fits\": ") + (!info.fits ? "null" : *info.fits ? "true" : "false");
    out += ", \"longest_row_bytes\": " + jsonNumber(info.longestRowBytes);
    out += ", \"fit_free_combinations\": " + jsonNumber(info.fitFreeCombinations) + "}\n";
    std::fputs(out.c_str(), stdout);
}

void printText(const ImageInfo& info) {
    auto line = [](const char* label, const std::string& value) {
        std::printf("%-21s%s\n", label, value.c_str());
    };
    auto number = [](const std::optional<std::int64_t>& value, const char* unit) {
        return value ? std::to_string(*value) + unit : std::string("n/a");
    };
    const std::string format = info.format == "bmp"   ? "Windows bitmap"
                               : info.format == "png" ? "PNG"
                               : info.format == "rl"  ? "RL (compressed)"
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
    if (info.fits) {
        line("Fits as it is:", *info.fits ? "yes" : "no (compress --fit reduces it)");
        line("Longest row:", info.longestRowBytes ? std::to_string(*info.longestRowBytes) + " bytes of codes (at most 255)"
                                                  : std::string("n/a (too many colours)"));
        line("After free step:", number(info.fitFreeCombinations, " combinations (at most 253)"));
    }
}

// The statistics every picture shows, and what fitting it would take.
void fillPictureInfo(ImageInfo& info, const imaging::ImageModel& model, const fitting::Assessment& assessment) {
    info.bitDepth = model.BitDepth;
    info.windowsColors = model.WindowsColorCount;
    info.alphaPixels = model.AlphaPixelCount;
    info.transparentPixels = model.TransparentPixelCount;
    info.compressedColors = model.CompressedColorCount;
    info.compressible = model.CompressedColorCount < imaging::CompressibleColorLimit;
    info.fits = assessment.fits;
    if (assessment.longestRowBytes) {
        info.longestRowBytes = *assessment.longestRowBytes;
    }
    info.fitFreeCombinations = assessment.freeCombinations;
}

int runInfo(const std::string& file, bool json) {
    const fs::path path(file);
    const imaging::Result<imaging::FileKind> kind = imaging::detectFileKind(path);
    if (!kind) {
        fail(file, "cannot read: " + kind.error().detail);
        return ExitFailed;
    }
    ImageInfo info;
    imaging::ImageModel model;
    std::error_code ec;
    const std::uintmax_t size = fs::file_size(path, ec);
    if (*kind == imaging::FileKind::Bitmap) {
        // The statistics without the pixels: a report on a large file needs no copy of it in memory.
        const tarvik::Result<fitting::Assessment> assessment = fitting::assessBitmapFile(path, model);
        if (!assessment) {
            fail(file, "cannot read the bitmap: " + assessment.error().detail);
            return ExitFailed;
        }
        info.format = "bmp";
        warnIfAllTransparent(file, model);
        fillPictureInfo(info, model, *assessment);
        info.fileSize = model.BmpFileSize;
    } else if (*kind == imaging::FileKind::Png) {
        if (const imaging::Status status = imaging::LoadPngImage(path, model); !status) {
            fail(file, "cannot read the PNG: " + status.error().detail);
            return ExitFailed;
        }
        info.format = "png";
        // Everything as for the bitmap of the same pixels, but the size of the file at hand.
        fillPictureInfo(info, model, fitting::assessImage(model));
        info.fileSize = static_cast<std::int64_t>(size);
    } else if (*kind == imaging::FileKind::Rl) {
        // Counts, not pixels: a report on a large image needs no memory for it.
        imaging::AlphaCounts counts;
        if (const imaging::Status status = imaging::inspectCompressedImage(path, model, counts); !status) {
            fail(file, "cannot read the RL file: " + status.error().detail);
            return ExitFailed;
        }
        info.format = "rl";
        info.fileSize = static_cast<std::int64_t>(size);
        info.bitDepth = 16;
        // A palette count of 0 (no key entry either) holds no colour, not -1 of them.
        info.compressedColors = std::max(0, model.RlPaletteCount - 1);
        info.alphaPixels = counts.alphaPixels;
        info.transparentPixels = counts.transparentPixels;
    } else if (!ec) {
        info.fileSize = static_cast<std::int64_t>(size);
    }
    if (info.format != "unknown") {
        info.width = model.Width;
        info.height = model.Height;
    }
    json ? printJson(info) : printText(info);
    if (info.format == "unknown") {
        fail(file, "unknown file type (neither a Windows bitmap, a PNG nor an RL file)");
        return ExitFailed;
    }
    return ExitOk;
}

// A new output takes the permission bits of the file it is made from: a private picture stays private.
std::optional<mode_t> permissionsOf(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return std::nullopt;
    }
    return info.st_mode & 0777;
}

imaging::Status saveWithPermissions(const std::string& out, const imaging::Result<std::vector<std::uint8_t>>& bytes,
                                    std::optional<mode_t> permissions) {
    if (!bytes) {
        return bytes.error();
    }
    return tarvik::writeFileAtomically(out, *bytes, permissions);
}

struct ConversionOptions {
    bool fit = false;
    bool dither = false;
    bool quiet = false;
};

// A file system failure concerns the file written; anything else is about what IN holds.
int failWriting(const std::string& in, const std::string& out, const imaging::Error& error, const char* doing) {
    if (error.code == imaging::ErrorCode::Io) {
        fail(out, "cannot write: " + error.detail);
    } else {
        fail(in, std::string(doing) + error.detail);
    }
    return ExitFailed;
}

int runFit(const std::string& in, const std::string& out, imaging::FileKind kind, const ConversionOptions& options) {
    imaging::ImageModel model;
    if (const imaging::Status loaded = imaging::loadPicture(in, kind, model); !loaded) {
        fail(in, loaded.error().detail);
        return ExitFailed;
    }
    const tarvik::Result<fitting::Fitted> fitted = fitting::fitImage(model, fitting::FitOptions{options.dither});
    if (!fitted) {
        fail(in, "cannot fit: " + fitted.error().detail);
        return ExitFailed;
    }
    if (const tarvik::Status written = tarvik::writeFileAtomically(out, fitted->rl, permissionsOf(in)); !written) {
        return failWriting(in, out, written.error(), "");
    }
    if (!options.quiet) {
        std::fprintf(stderr, "tarvikbmp: %s: %s\n", shown(in).c_str(), fitting::reportLine(fitted->report).c_str());
    }
    return ExitOk;
}

int runCompress(const std::string& in, const std::string& out, const ConversionOptions& options) {
    const imaging::Result<imaging::FileKind> kind = imaging::detectFileKind(in);
    if (!kind) {
        fail(in, "cannot read: " + kind.error().detail);
        return ExitFailed;
    }
    if (*kind != imaging::FileKind::Bitmap && *kind != imaging::FileKind::Png) {
        fail(in, "neither a Windows bitmap nor a PNG file (it starts with neither \"BM\" nor the PNG signature)");
        return ExitFailed;
    }
    if (options.fit) {
        return runFit(in, out, *kind, options);
    }
    imaging::ImageModel model;
    imaging::Status status;
    if (*kind == imaging::FileKind::Bitmap) {
        // Reads the bitmap once, without the pixel records: the same bytes as load-then-save.
        status = imaging::compressBitmapFile(in, model, [&](std::vector<std::uint8_t> bytes) -> imaging::Status {
            if (const tarvik::Status written = tarvik::writeFileAtomically(out, bytes, permissionsOf(in)); !written) {
                return tarvik::makeError(imaging::ErrorCode::Io, "cannot write " + out + ": " + written.error().detail);
            }
            return {};
        });
        warnIfAllTransparent(in, model);
        if (!status && status.error().code == imaging::ErrorCode::Io) {
            fail(in, status.error().detail);
            return ExitFailed;
        }
    } else if (status = imaging::LoadPngImage(in, model); !status) {
        fail(in, status.error().detail);
        return ExitFailed;
    } else if (status = saveWithPermissions(out, imaging::encodeCompressed(model), permissionsOf(in));
               !status && status.error().code == imaging::ErrorCode::Io) {
        fail(out, "cannot write: " + status.error().detail);
        return ExitFailed;
    }
    if (!status) {
        const bool fittable = status.error().code == imaging::ErrorCode::TooManyColours ||
                              status.error().code == imaging::ErrorCode::RowTooLong;
        fail(in, "cannot compress: " + status.error().detail + (fittable ? " (--fit reduces it)" : ""));
        return ExitFailed;
    }
    return ExitOk;
}

int runDecompress(const std::string& in, const std::string& out) {
    const imaging::Result<imaging::FileKind> kind = imaging::detectFileKind(in);
    if (!kind) {
        fail(in, "cannot read: " + kind.error().detail);
        return ExitFailed;
    }
    if (*kind != imaging::FileKind::Rl) {
        fail(in, "not an RL file (it does not start with \"RL\")");
        return ExitFailed;
    }
    imaging::ImageModel model;
    if (!imaging::namesPngFile(out)) {
        // Row by row: the memory needed does not grow with the image. A failed write names OUT in its detail.
        if (const imaging::Status status = imaging::decompressFile(in, out, model, permissionsOf(in)); !status) {
            fail(in, status.error().detail);
            return ExitFailed;
        }
        return ExitOk;
    }
    if (const imaging::Status loaded = imaging::LoadCompressedImage(in, model); !loaded) {
        fail(in, loaded.error().detail);
        return ExitFailed;
    }
    const imaging::Status saved = saveWithPermissions(out, imaging::encodePng(model), permissionsOf(in));
    if (!saved) {
        return failWriting(in, out, saved.error(), "cannot decompress: ");
    }
    return ExitOk;
}

}  // namespace

// Without it, CLI11 takes such a name for an unknown option.
constexpr const char* DashFooter =
    "A file name that starts with \"-\" follows \"--\", which ends the options: tarvikbmp compress -- -x.bmp out.rl";

void addImageCommands(CLI::App& app, int& exitCode) {
    struct Arguments {
        std::string file, in, out;
        bool json = false;
        ConversionOptions conversion;
    };
    auto args = std::make_shared<Arguments>();

    CLI::App* info =
        app.add_subcommand("info", "Show a bitmap's, PNG's or RL file's size, depth, colours and alpha");
    info->add_option("FILE", args->file, "Windows bitmap, PNG or RL file")->required();
    info->add_flag("--json", args->json, "Print one JSON object instead of text lines");
    info->callback([args, &exitCode] { exitCode = runInfo(args->file, args->json); });

    CLI::App* compress =
        app.add_subcommand("compress", "Convert a 24/32-bit Windows bitmap or a PNG file into an RL file");
    compress->add_option("IN", args->in, "Windows bitmap or PNG file to read")->required();
    compress->add_option("OUT", args->out, "RL file to write (replaced only on success)")->required();
    compress->add_flag("--fit", args->conversion.fit,
                       "reduce an image that does not fit (too many colours, rows too long) with the least change");
    compress->add_flag("--dither", args->conversion.dither, "with --fit: diffuse the error (smoother, longer rows)")
        ->needs("--fit");
    compress->add_flag("--quiet,-q", args->conversion.quiet, "print no report line for --fit");
    compress->footer(DashFooter);
    compress->callback([args, &exitCode] { exitCode = runCompress(args->in, args->out, args->conversion); });

    CLI::App* decompress = app.add_subcommand("decompress", "Convert an RL file into a Windows bitmap or PNG");
    decompress->add_option("IN", args->in, "RL file to read")->required();
    decompress->add_option("OUT", args->out,
                           "file to write, a PNG when its name ends in .png, else a Windows bitmap "
                           "(replaced only on success)")
        ->required();
    decompress->footer(DashFooter);
    decompress->callback([args, &exitCode] { exitCode = runDecompress(args->in, args->out); });
}

}  // namespace cli
