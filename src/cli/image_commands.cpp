// `tarvikbmp info|compress|decompress`: the image tab's single-image job from a terminal. Scripts rely on
// the names, the JSON keys and the exit codes (0 done, 1 failed, 2 usage).

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
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

// The files a command works on: IN is read, OUT (compress, decompress) written.
struct Files {
    std::string in, out;
};

// What a command was doing when it failed.
enum class Step { Read, Compress, Decompress, Fit };

// The one way a file command reports a failure: "tarvikbmp: FILE: VERB: REASON", the reason being the bare
// one the codecs and the file system give. A failure of the file being written names OUT ("cannot write"),
// the file system refusing IN is "cannot read", anything else names IN with the step that failed.
int fail(const Files& files, Step step, const tarvik::Error& error) {
    static constexpr const char* Verbs[] = {"cannot read", "cannot compress", "cannot decompress",
                                            "cannot fit"};
    const bool written = error.side == tarvik::Side::Output;
    const char* verb = written                               ? "cannot write"
                       : error.code == tarvik::ErrorCode::Io ? Verbs[0]
                                                             : Verbs[static_cast<int>(step)];
    std::string reason = error.detail.empty() ? tarvik::errorCodeName(error.code) : error.detail;
    // What plain compression refuses and fitting mends.
    if (step == Step::Compress &&
        (error.code == tarvik::ErrorCode::TooManyColours || error.code == tarvik::ErrorCode::RowTooLong)) {
        reason += " (--fit reduces it)";
    }
    std::fprintf(stderr, "tarvikbmp: %s: %s: %s\n", shown(written ? files.out : files.in).c_str(), verb,
                 shown(reason).c_str());
    return ExitFailed;
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
    info.compressible = imaging::hasCompressibleColours(model);
    info.fits = assessment.fits;
    if (assessment.longestRowBytes) {
        info.longestRowBytes = *assessment.longestRowBytes;
    }
    info.fitFreeCombinations = assessment.freeCombinations;
}

int runInfo(const std::string& file, bool json) {
    const Files files{file, {}};
    const fs::path path(file);
    const imaging::Result<imaging::FileKind> kind = imaging::detectFileKind(path);
    if (!kind) {
        return fail(files, Step::Read, kind.error());
    }
    ImageInfo info;
    imaging::ImageModel model;
    std::error_code ec;
    const std::uintmax_t size = fs::file_size(path, ec);
    if (*kind == imaging::FileKind::Bitmap) {
        // The statistics without the pixels: a report on a large file needs no copy of it in memory.
        const tarvik::Result<fitting::Assessment> assessment = fitting::assessBitmapFile(path, model);
        if (!assessment) {
            return fail(files, Step::Read, assessment.error());
        }
        info.format = "bmp";
        warnIfAllTransparent(file, model);
        fillPictureInfo(info, model, *assessment);
        info.fileSize = model.BmpFileSize;
    } else if (*kind == imaging::FileKind::Png) {
        if (const imaging::Status status = imaging::LoadPngImage(path, model); !status) {
            return fail(files, Step::Read, status.error());
        }
        info.format = "png";
        // Everything as for the bitmap of the same pixels, but the size of the file at hand.
        fillPictureInfo(info, model, fitting::assessImage(model));
        info.fileSize = static_cast<std::int64_t>(size);
    } else if (*kind == imaging::FileKind::Rl) {
        // Counts, not pixels: a report on a large image needs no memory for it.
        imaging::AlphaCounts counts;
        if (const imaging::Status status = imaging::inspectCompressedImage(path, model, counts); !status) {
            return fail(files, Step::Read, status.error());
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
        return fail(files, Step::Read,
                    tarvik::makeError(tarvik::ErrorCode::NotThisFormat,
                                      "unknown file type (neither a Windows bitmap, a PNG nor an RL file)"));
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

imaging::Status writeOut(const Files& files, std::span<const std::uint8_t> bytes) {
    return tarvik::writeFileAtomically(files.out, bytes, permissionsOf(files.in));
}

// The encoder's refusal, or the bytes written to OUT.
imaging::Status writeEncoded(const Files& files, const imaging::Result<std::vector<std::uint8_t>>& bytes) {
    return bytes ? writeOut(files, *bytes) : imaging::Status(bytes.error());
}

struct ConversionOptions {
    bool fit = false;
    bool dither = false;
    bool quiet = false;
};

int runFit(const Files& files, imaging::FileKind kind, const ConversionOptions& options) {
    imaging::ImageModel model;
    if (const imaging::Status loaded = imaging::loadPicture(files.in, kind, model); !loaded) {
        return fail(files, Step::Compress, loaded.error());
    }
    const tarvik::Result<fitting::Fitted> fitted = fitting::fitImage(model, fitting::FitOptions{options.dither});
    if (!fitted) {
        return fail(files, Step::Fit, fitted.error());
    }
    if (const tarvik::Status written = writeOut(files, fitted->rl); !written) {
        return fail(files, Step::Fit, written.error());
    }
    if (!options.quiet) {
        std::fprintf(stderr, "tarvikbmp: %s: %s\n", shown(files.in).c_str(),
                     fitting::reportLine(fitted->report).c_str());
    }
    return ExitOk;
}

int runCompress(const Files& files, const ConversionOptions& options) {
    const imaging::Result<imaging::FileKind> kind = imaging::detectFileKind(files.in);
    if (!kind) {
        return fail(files, Step::Read, kind.error());
    }
    if (*kind != imaging::FileKind::Bitmap && *kind != imaging::FileKind::Png) {
        return fail(
            files, Step::Compress,
            tarvik::makeError(tarvik::ErrorCode::NotThisFormat,
                              "neither a Windows bitmap nor a PNG file (it starts with neither \"BM\" nor "
                              "the PNG signature)"));
    }
    if (options.fit) {
        return runFit(files, *kind, options);
    }
    imaging::ImageModel model;
    imaging::Status status;
    if (*kind == imaging::FileKind::Bitmap) {
        // Reads the bitmap once, without the pixel records: the same bytes as load-then-save.
        status = imaging::compressBitmapFile(
            files.in, model, [&](std::vector<std::uint8_t> bytes) { return writeOut(files, bytes); });
        warnIfAllTransparent(files.in, model);
    } else if (status = imaging::LoadPngImage(files.in, model); status) {
        status = writeEncoded(files, imaging::encodeCompressed(model));
    }
    return status ? ExitOk : fail(files, Step::Compress, status.error());
}

int runDecompress(const Files& files) {
    const imaging::Result<imaging::FileKind> kind = imaging::detectFileKind(files.in);
    if (!kind) {
        return fail(files, Step::Read, kind.error());
    }
    if (*kind != imaging::FileKind::Rl) {
        return fail(files, Step::Decompress,
                    tarvik::makeError(tarvik::ErrorCode::NotThisFormat,
                                      "not an RL file (it does not start with \"RL\")"));
    }
    imaging::ImageModel model;
    imaging::Status status;
    if (!imaging::namesPngFile(files.out)) {
        // Row by row: the memory needed does not grow with the image.
        status = imaging::decompressFile(files.in, files.out, model, permissionsOf(files.in));
    } else if (status = imaging::LoadCompressedImage(files.in, model); status) {
        status = writeEncoded(files, imaging::encodePng(model));
    }
    return status ? ExitOk : fail(files, Step::Decompress, status.error());
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
    compress->callback([args, &exitCode] {
        exitCode = runCompress(Files{args->in, args->out}, args->conversion);
    });

    CLI::App* decompress = app.add_subcommand("decompress", "Convert an RL file into a Windows bitmap or PNG");
    decompress->add_option("IN", args->in, "RL file to read")->required();
    decompress->add_option("OUT", args->out,
                           "file to write, a PNG when its name ends in .png, else a Windows bitmap "
                           "(replaced only on success)")
        ->required();
    decompress->footer(DashFooter);
    decompress->callback([args, &exitCode] { exitCode = runDecompress(Files{args->in, args->out}); });
}

}  // namespace cli
