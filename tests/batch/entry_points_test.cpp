// The three ways a bitmap becomes an RL file must agree byte for byte, or refuse for the same reason: the
// window (LoadBitmapImage then SaveCompressedImage), the `compress` command (compressBitmapFile, and the
// program itself on part of the cases) and the batch engine. Cases are generated from fixed seeds, with the
// values where the paths have parted before weighted up: alphas near 0 and 255 (1..6 are transparent and
// never enter the palette), runs around the code limits, rows at 255/256 code bytes, palettes at 253/254;
// and anti-aliased art painted with QPainter on a transparent image.

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

#include "art.h"
#include "batch_run.h"
#include "file_search.h"
#include "fitter.h"
#include "png_codec.h"
#include "test_support.h"

#ifdef TARVIK_TEST_QT_ART
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#endif

namespace batch_test {
namespace {

struct Case {
    std::string name;
    Bytes file;
};

// A refusal in the words the batch report uses; TooManyColours by its code alone (the texts differ).
std::string refusal(const tarvik::Error& error) {
    if (error.code == ErrorCode::TooManyColours) {
        return "refused: too many colours";
    }
    return std::string("refused: ") + tarvik::errorCodeName(error.code) + ": " + error.detail;
}

std::string written(const Bytes& bytes) {
    return "wrote " + std::to_string(bytes.size()) + " bytes: " + std::string(bytes.begin(), bytes.end());
}

// The window: the image tab loads, enables "Compression" only below 254 combinations, then saves.
std::string throughWindow(const fs::path& bitmap, const fs::path& out) {
    ImageModel model;
    if (Status loaded = LoadBitmapImage(bitmap, model); !loaded) {
        return refusal(loaded.error());
    }
    if (model.CompressedColorCount >= CompressibleColorLimit) {
        return "refused: too many colours";
    }
    if (Status saved = SaveCompressedImage(out, model); !saved) {
        return refusal(saved.error());
    }
    return written(readFile(out));
}

std::string throughCompress(const fs::path& bitmap, const fs::path& out) {
    ImageModel model;
    if (Status done = compressBitmapFile(bitmap, out, model); !done) {
        return refusal(done.error());
    }
    return written(readFile(out));
}

std::string throughProgram(const fs::path& bitmap, const fs::path& out) {
    const Ran ran = runProgram(TARVIKBMP_EXE, {"compress", bitmap.string(), out.string()});
    return ran.exitCode == 0 ? written(readFile(out)) : "refused (" + ran.err + ")";
}

class Collector : public batch::RunObserver {
public:
    void onEntry(const batch::EntryResult& result, batch::Progress) override {
        std::string& text = byEntry[result.entry];
        switch (result.reason) {
            case batch::Reason::None:
                text = written(readFile(result.target));
                break;
            case batch::Reason::TooManyColours:
                text = "refused: too many colours";
                break;
            case batch::Reason::LoadFailed:
            case batch::Reason::WriterRefused:
                text = "refused: " + result.detail;
                break;
            default:
                text = "batch: " + std::string(batch::reasonText(result.reason)) + " " + result.detail;
        }
    }
    std::map<std::string, std::string> byEntry;
};

// Alphas from the whole range, most from the ends.
int drawAlpha(std::mt19937& random) {
    const int pick = static_cast<int>(random() % 10);
    if (pick < 4) {
        return static_cast<int>(random() % 9);  // 0..8
    }
    if (pick < 8) {
        return 247 + static_cast<int>(random() % 9);  // 247..255
    }
    return static_cast<int>(random() % 256);
}

int drawRunLength(std::mt19937& random) {
    const int pick = static_cast<int>(random() % 6);
    if (pick < 3) {
        return 1 + static_cast<int>(random() % 6);  // 1..6: single codes or the shortest runs
    }
    if (pick == 3) {
        return 254 + static_cast<int>(random() % 3);  // 254..256: around one run piece
    }
    return 1 + static_cast<int>(random() % 40);
}

Case generatedCase(int seed) {
    std::mt19937 random(static_cast<unsigned>(seed) * 7919u + 13u);
    const int depth = random() % 2 ? 32 : 24;
    const bool topDown = random() % 2;
    const int width = 1 + static_cast<int>(random() % 300);
    const int height = 1 + static_cast<int>(random() % 6);
    // A small set of colours, so that runs meet and palettes stay within reach of 253.
    std::vector<Rgba> colours;
    const int colourCount = 1 + static_cast<int>(random() % 12);
    for (int i = 0; i < colourCount; ++i) {
        colours.push_back(Rgba{static_cast<int>(random() % 256), static_cast<int>(random() % 256),
                               static_cast<int>(random() % 256), drawAlpha(random)});
    }
    std::vector<Rgba> pixels;
    while (pixels.size() < static_cast<std::size_t>(width * height)) {
        Rgba pixel = colours[random() % colours.size()];
        const int length = drawRunLength(random);
        const bool varyAlpha = random() % 4 == 0;  // alphas that differ within one level
        for (int i = 0; i < length; ++i) {
            if (varyAlpha) {
                pixel.a = static_cast<std::uint8_t>(drawAlpha(random));
            }
            pixels.push_back(pixel);
        }
    }
    pixels.resize(static_cast<std::size_t>(width * height));
    return {numbered("gen", seed, ".bmp"), makeBitmap(width, height, pixels, depth, topDown)};
}

// Rows whose codes take exactly 255 and 256 bytes (every pixel its own code), and palettes of 253 and
// 254 combinations made of one colour at many alphas, soft edges included.
std::vector<Case> limitCases() {
    std::vector<Case> cases;
    for (int width : {255, 256}) {
        for (int depth : {24, 32}) {
            std::vector<Rgba> pixels;
            for (int x = 0; x < width; ++x) {
                pixels.push_back(x % 2 ? Rgba{10, 200, 30, depth == 32 ? 3 : 255} : Rgba{250, 4, 4});
            }
            pixels.insert(pixels.end(), pixels.begin(), pixels.end());  // both rows alike
            cases.push_back({numbered("row", width, "_" + std::to_string(depth) + ".bmp"),
                             makeBitmap(width, 2, pixels, depth, width == 256)});
        }
    }
    for (int combinations : {253, 254}) {
        std::vector<Rgba> pixels;
        for (int i = 0; i < combinations; ++i) {
            // Alphas 7..255 are 249 entries; the rest come from a second colour.
            pixels.push_back(i < 249 ? Rgba{200, 100, 50, 7 + i} : Rgba{0, 0, 255, 255 - (i - 249)});
            pixels.push_back(Rgba{9, 9, 9, i % 7});  // a transparent neighbour of every alpha 0..6
        }
        cases.push_back({numbered("palette", combinations, ".bmp"),
                         makeBitmap(static_cast<int>(pixels.size()) / 2, 2, pixels, 32)});
    }
    // The smallest soft edge: one pixel of alpha 1 beside opaque ones.
    cases.push_back({"soft_edge.bmp", makeBitmap(6, 1, repeat({{Rgba{255, 0, 0, 1}, 1}, {Red, 5}}))});
    return cases;
}

#ifdef TARVIK_TEST_QT_ART
// Anti-aliased shapes and text on a transparent image, as an icon editor would leave them.
Case paintedCase(int variant) {
    const int sizes[][2] = {{48, 48}, {64, 64}, {120, 40}, {32, 32}, {200, 60}, {24, 24}};
    const int width = sizes[variant % 6][0], height = sizes[variant % 6][1];
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing, true);
        painter.setRenderHint(QPainter::TextAntialiasing, true);
        const QColor ink = QColor::fromHsv(variant * 47 % 360, 200, 220);
        switch (variant % 4) {
            case 0:
                painter.setPen(Qt::NoPen);
                painter.setBrush(ink);
                painter.drawEllipse(QRectF(2.5, 2.5, width - 5.3, height - 5.7));
                break;
            case 1: {
                painter.setPen(QPen(ink.darker(), 1.5));
                painter.setBrush(QColor(ink.red(), ink.green(), ink.blue(), 160));
                painter.drawRoundedRect(QRectF(1.3, 1.7, width - 3.1, height - 3.4), 6, 6);
                break;
            }
            case 2: {
                QFont font;
                font.setPixelSize(height * 2 / 3);
                font.setBold(true);
                painter.setFont(font);
                painter.setPen(ink);
                painter.drawText(QRectF(0, 0, width, height), Qt::AlignCenter, QStringLiteral("Ab9"));
                break;
            }
            default: {
                QPainterPath star;
                for (int i = 0; i < 10; ++i) {
                    const double radius = (i % 2 ? 0.2 : 0.47) * std::min(width, height);
                    const double angle = i * 3.14159265 / 5;
                    const QPointF point(width / 2.0 + radius * std::sin(angle),
                                        height / 2.0 - radius * std::cos(angle));
                    i == 0 ? star.moveTo(point) : star.lineTo(point);
                }
                star.closeSubpath();
                painter.setPen(Qt::NoPen);
                painter.setBrush(ink);
                painter.drawPath(star);
            }
        }
    }
    const QImage straight = image.convertToFormat(QImage::Format_ARGB32);
    const int depth = variant % 5 == 4 ? 24 : 32;
    std::vector<Rgba> pixels;
    for (int y = height - 1; y >= 0; --y) {
        for (int x = 0; x < width; ++x) {
            const QRgb p = straight.pixel(x, y);
            // A 24-bit export flattens the art onto white.
            const int a = qAlpha(p);
            auto flat = [a](int c) { return (c * a + 255 * (255 - a)) / 255; };
            pixels.push_back(depth == 32 ? Rgba{qRed(p), qGreen(p), qBlue(p), a}
                                         : Rgba{flat(qRed(p)), flat(qGreen(p)), flat(qBlue(p))});
        }
    }
    return {numbered("art", variant, ".bmp"), makeBitmap(width, height, pixels, depth, variant % 3 == 1)};
}
#endif

bool hasSoftEdge(const Bytes& file) {
    ImageModel model;
    if (!decodeBitmap(file, model)) {
        return false;
    }
    return std::any_of(model.Pixels.begin(), model.Pixels.end(),
                       [](const PixelRecord& p) { return p.Alpha > 0 && p.Alpha < 7; });
}

TEST(EntryPoints, WindowCompressCommandAndBatchWriteTheSameBytes) {
    std::vector<Case> cases = limitCases();
    for (int seed = 0; seed < 240; ++seed) {
        cases.push_back(generatedCase(seed));
    }
#ifdef TARVIK_TEST_QT_ART
    for (int variant = 0; variant < 16; ++variant) {
        cases.push_back(paintedCase(variant));
    }
#endif
    // Damaged copies of a few: the same refusal everywhere.
    for (int i = 0; i < 6; ++i) {
        Bytes cut = cases[static_cast<std::size_t>(10 + i * 17)].file;
        cut.resize(cut.size() - 1 - static_cast<std::size_t>(i) * 13 % cut.size() / 2);
        cases.push_back({numbered("cut", i, ".bmp"), cut});
    }

    TempDir dir;
    for (const Case& c : cases) {
        writeFile(dir / ("src/" + c.name), c.file);
    }
    fs::create_directories(dir / "backup");
    Collector batchResults;
    std::atomic<bool> cancel{false};
    const batch::Plan plan{batch::Direction::Compress,
                           batch::FindFiles((dir / "src").string(), "*.bmp", false),
                           (dir / "src").string(),
                           (dir / "backup").string(),
                           false,
                           2};
    ASSERT_EQ(plan.entries.size(), cases.size());
    batch::run(plan, batchResults, cancel);

    int convertedCount = 0, softEdgesConverted = 0, artConverted = 0;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.name);
        const fs::path in = dir / ("src/" + c.name);
        const std::string window = throughWindow(in, dir / "window.rl");
        EXPECT_EQ(throughCompress(in, dir / "compress.rl"), window);
        EXPECT_EQ(batchResults.byEntry[in.string()], window);
        // The program itself on every eighth case: its exit code and bytes follow the same function.
        if (i % 8 == 0) {
            const std::string program = throughProgram(in, dir / "program.rl");
            if (window.starts_with("wrote")) {
                EXPECT_EQ(program, window);
            } else {
                EXPECT_TRUE(program.starts_with("refused")) << program;
            }
        }
        if (window.starts_with("wrote")) {
            ++convertedCount;
            softEdgesConverted += hasSoftEdge(c.file) ? 1 : 0;
            artConverted += c.name.starts_with("art") ? 1 : 0;
        }
    }
    // The cases reach what they are for: most convert, soft edges among them.
    EXPECT_GT(convertedCount, static_cast<int>(cases.size()) / 2);
    EXPECT_GT(softEdgesConverted, 20);
#ifdef TARVIK_TEST_QT_ART
    EXPECT_GE(artConverted, 4);
#endif
}

// The PNG file of a bitmap's pixels.
Bytes pngOf(const Bytes& bitmap) {
    ImageModel model;
    if (!decodeBitmap(bitmap, model)) {
        return {};
    }
    ImageModel upright;
    upright.Width = model.Width, upright.Height = model.Height, upright.RlAlphaFlag = 1;
    const auto width = static_cast<std::size_t>(model.Width);
    for (std::size_t row = static_cast<std::size_t>(model.Height); row > 0; --row) {
        upright.Pixels.insert(upright.Pixels.end(), model.Pixels.begin() + (row - 1) * width,
                              model.Pixels.begin() + row * width);
    }
    return encodePng(upright).value();
}

std::string outcome(const std::string& text) {
    return text.starts_with("wrote") ? text : "refused";
}

// Fitting: the core on the image the window would hold, `compress --fit`, and the batch engine with --fit on
// the bitmap and on a PNG of the same pixels must write the same bytes, or all refuse.
TEST(EntryPoints, FittingWritesTheSameBytesEverywhereFromBitmapsAndPngs) {
    std::vector<Case> cases = limitCases();
    for (int seed = 0; seed < 60; ++seed) {
        cases.push_back(generatedCase(seed));
    }
    for (unsigned seed = 0; seed < 6; ++seed) {
        const int width = 20 + static_cast<int>(seed) * 23, height = 16 + static_cast<int>(seed) * 9;
        cases.push_back({numbered("soft", static_cast<int>(seed), ".bmp"),
                         makeBitmap(width, height, testart::softSprite(width, height, seed), seed % 3 ? 32 : 24)});
    }
    cases.push_back({"photo.bmp", makeBitmap(300, 12, testart::photo(300, 12, 1), 24)});
#ifdef TARVIK_TEST_QT_ART
    for (int variant = 0; variant < 16; ++variant) {
        cases.push_back(paintedCase(variant));
    }
#endif
    TempDir dir;
    for (const Case& c : cases) {
        writeFile(dir / ("src/" + c.name), c.file);
        const Bytes png = pngOf(c.file);
        if (!png.empty()) {
            writeFile(dir / ("src/" + c.name.substr(0, c.name.size() - 4) + "_png.PNG"), png);
        }
    }
    fs::create_directories(dir / "backup");
    Collector batchResults;
    std::atomic<bool> cancel{false};
    batch::Plan plan{batch::Direction::Compress, batch::FindFiles((dir / "src").string(), "*.bmp;*.png", false),
                     (dir / "src").string(), (dir / "backup").string(), false, 2};
    plan.pngFiles = plan.fit = true;
    const batch::Summary summary = batch::run(plan, batchResults, cancel);

    int fittedCount = 0;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.name);
        const fs::path in = dir / ("src/" + c.name);
        ImageModel model;
        std::string core = "refused";
        if (LoadBitmapImage(in, model)) {
            auto fitted = fitting::fitImage(model);
            if (fitted) {
                core = written(fitted->rl);
                fittedCount += fitted->report.untouched ? 0 : 1;
            }
        }
        EXPECT_EQ(outcome(batchResults.byEntry[in.string()]), core);
        const std::string stem = c.name.substr(0, c.name.size() - 4);
        if (batchResults.byEntry.count((dir / ("src/" + stem + "_png.PNG")).string())) {
            EXPECT_EQ(outcome(batchResults.byEntry[(dir / ("src/" + stem + "_png.PNG")).string()]), core);
            EXPECT_EQ(fs::exists(dir / ("backup/" + stem + "_png.bmp")), core != "refused");
        }
        if (i % 6 == 0) {
            const Ran ran = runProgram(TARVIKBMP_EXE, {"compress", in.string(), (dir / "program.rl").string(), "--fit", "--quiet"});
            EXPECT_EQ(ran.exitCode == 0 ? written(readFile(dir / "program.rl")) : "refused", core) << ran.err;
        }
    }
    // The cases reach what they are for: many need fitting, and the summary counts them apart.
    EXPECT_GE(fittedCount, 8);
    EXPECT_EQ(summary.fitted, static_cast<std::size_t>(2 * fittedCount));
    EXPECT_EQ(summary.failed, 0u);
}

// RL files, read back by the three: bytes after the last row are ignored, however many there are.
TEST(EntryPoints, RlFilesReadTheSameEverywhereWhateverTrailsThem) {
    TempDir dir;
    std::vector<std::string> names;
    for (int seed = 0; seed < 12; ++seed) {
        const Bytes rl = rlOf(generatedCase(seed).file);
        if (rl.empty()) {
            continue;
        }
        const std::string name = numbered("rl", seed, ".bmp");
        writeFile(dir / ("src/" + name), rl);
        names.push_back(name);
    }
    writeFile(dir / "src/trailing.bmp", redGapBlueRl());
    fs::resize_file(dir / "src/trailing.bmp", 40u << 20);
    names.push_back("trailing.bmp");
    fs::create_directories(dir / "backup");
    Collector unused;
    std::atomic<bool> cancel{false};
    const batch::Plan plan{batch::Direction::Decompress, batch::FindFiles((dir / "src").string(), "*.bmp", false),
                           (dir / "src").string(), (dir / "backup").string(), false, 2};
    const batch::Summary summary = batch::run(plan, unused, cancel);
    EXPECT_EQ(summary.converted, names.size());
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        ImageModel model;
        ASSERT_TRUE(LoadCompressedImage(dir / ("src/" + name), model));
        ASSERT_TRUE(SaveBitmapImage(dir / "window.bmp", model));
        const Ran program =
            runProgram(TARVIKBMP_EXE, {"decompress", (dir / ("src/" + name)).string(), (dir / "cli.bmp").string()});
        EXPECT_EQ(program.exitCode, 0) << program.err;
        EXPECT_EQ(readFile(dir / "cli.bmp"), readFile(dir / "window.bmp"));
        EXPECT_EQ(readFile(dir / ("backup/" + name)), readFile(dir / "window.bmp"));
    }
}

}  // namespace
}  // namespace batch_test

#ifdef TARVIK_TEST_QT_ART
int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
#endif
