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
#include "test_support.h"

#ifdef TARVIK_TEST_QT_ART
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#endif

namespace batch_test {
namespace {

struct Case {
    std::string name;
    Bytes file;
};

// A refusal in the words the batch report uses; TooManyColours by its code alone (the texts differ).
std::string refusal(const tarvik::Error& error) {
    return error.code == ErrorCode::TooManyColours
               ? "refused: too many colours"
               : std::string("refused: ") + tarvik::errorCodeName(error.code) + ": " + error.detail;
}

std::string written(const Bytes& bytes) {
    return "wrote " + std::to_string(bytes.size()) + " bytes: " + std::string(bytes.begin(), bytes.end());
}

// The window: the image tab loads, enables "Compression" only below 254 combinations, then saves.
std::string throughWindow(const fs::path& bitmap, const fs::path& out) {
    ImageModel model;
    Status status = LoadBitmapImage(bitmap, model);
    if (status && !hasCompressibleColours(model)) {
        return "refused: too many colours";
    }
    status = status ? SaveCompressedImage(out, model) : status;
    return status ? written(readFile(out)) : refusal(status.error());
}

std::string throughCompress(const fs::path& bitmap, const fs::path& out) {
    ImageModel model;
    const Status done = compressBitmapFile(bitmap, out, model);
    return done ? written(readFile(out)) : refusal(done.error());
}

// The program itself: its exit code and the bytes it wrote; its messages differ from the other paths'.
std::string throughProgram(const fs::path& in, const fs::path& out, const char* command, bool fit = false) {
    std::vector<std::string> args{command, in.string(), out.string()};
    if (fit) {
        args.insert(args.end(), {"--fit", "--quiet"});
    }
    const Ran ran = runProgram(TARVIKBMP_EXE, args);
    return ran.exitCode == 0 ? written(readFile(out)) : "refused";
}

// The batch engine's outcome for each entry, in the same words.
struct Collector : batch::RunObserver {
    void onEntry(const batch::EntryResult& r, batch::Progress) override {
        using batch::Reason;
        byEntry[r.entry] = r.reason == Reason::None             ? written(readFile(r.target))
                           : r.reason == Reason::TooManyColours ? "refused: too many colours"
                           : r.reason == Reason::LoadFailed || r.reason == Reason::WriterRefused
                               ? "refused: " + r.detail
                               : "batch: " + std::string(batch::reasonText(r.reason)) + " " + r.detail;
    }
    std::map<std::string, std::string> byEntry;
};

// Writes the cases to dir/src and runs the batch engine on them (two jobs) into dir/backup.
std::pair<std::map<std::string, std::string>, batch::Summary> runBatch(const TempDir& dir,
                                                                       const std::vector<Case>& cases,
                                                                       batch::Direction direction,
                                                                       bool pngAndFit = false) {
    for (const Case& c : cases) {
        writeFile(dir / ("src/" + c.name), c.file);
    }
    fs::create_directories(dir / "backup");
    Collector collector;
    std::atomic<bool> cancel{false};
    batch::Plan plan{direction,
                     batch::FindFiles((dir / "src").string(), "*.bmp;*.png", false),
                     (dir / "src").string(),
                     (dir / "backup").string(),
                     false,
                     2};
    plan.pngFiles = plan.fit = pngAndFit;
    const batch::Summary summary = batch::run(plan, collector, cancel);
    return {collector.byEntry, summary};
}

struct Draw {
    std::mt19937 random;
    int below(int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); }
    // Alphas from the whole range, most from the ends (0..8, 247..255).
    int alpha() {
        const int pick = below(10);
        return pick < 4 ? below(9) : pick < 8 ? 247 + below(9) : below(256);
    }
    // Single codes or the shortest runs (1..6), around one run piece (254..256), or anything up to 40.
    int runLength() {
        const int pick = below(6);
        return pick < 3 ? 1 + below(6) : pick == 3 ? 254 + below(3) : 1 + below(40);
    }
};

Case generatedCase(int seed) {
    Draw draw{std::mt19937(static_cast<unsigned>(seed) * 7919u + 13u)};
    const int depth = draw.below(2) ? 32 : 24;
    const bool topDown = draw.below(2);
    const int width = 1 + draw.below(300), height = 1 + draw.below(6);
    // A small set of colours, so that runs meet and palettes stay within reach of 253.
    std::vector<Rgba> colours(static_cast<std::size_t>(1 + draw.below(12)));
    for (Rgba& colour : colours) {
        colour = Rgba{draw.below(256), draw.below(256), draw.below(256), draw.alpha()};
    }
    std::vector<Rgba> pixels;
    while (pixels.size() < static_cast<std::size_t>(width * height)) {
        Rgba pixel = colours[static_cast<std::size_t>(draw.below(static_cast<int>(colours.size())))];
        const int length = draw.runLength();
        const bool varyAlpha = draw.below(4) == 0;  // alphas that differ within one level
        for (int i = 0; i < length; ++i) {
            pixel.a = varyAlpha ? static_cast<std::uint8_t>(draw.alpha()) : pixel.a;
            pixels.push_back(pixel);
        }
    }
    pixels.resize(static_cast<std::size_t>(width * height));
    return {numbered("gen", seed, ".bmp"), makeBitmap(width, height, pixels, depth, topDown)};
}

#ifdef TARVIK_TEST_QT_ART
// Anti-aliased shapes and text on a transparent image, as an icon editor would leave them.
Case paintedCase(int variant) {
    const int sizes[][2] = {{48, 48}, {64, 64}, {120, 40}, {32, 32}, {200, 60}, {24, 24}};
    const int width = sizes[variant % 6][0], height = sizes[variant % 6][1];
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    const QColor ink = QColor::fromHsv(variant * 47 % 360, 200, 220);
    painter.setPen(Qt::NoPen);
    painter.setBrush(ink);
    if (variant % 4 == 0) {
        painter.drawEllipse(QRectF(2.5, 2.5, width - 5.3, height - 5.7));
    } else if (variant % 4 == 1) {
        painter.setPen(QPen(ink.darker(), 1.5));
        painter.setBrush(QColor(ink.red(), ink.green(), ink.blue(), 160));
        painter.drawRoundedRect(QRectF(1.3, 1.7, width - 3.1, height - 3.4), 6, 6);
    } else if (variant % 4 == 2) {
        QFont font;
        font.setPixelSize(height * 2 / 3);
        font.setBold(true);
        painter.setFont(font);
        painter.setPen(ink);
        painter.drawText(QRectF(0, 0, width, height), Qt::AlignCenter, QStringLiteral("Ab9"));
    } else {
        QPolygonF star;
        for (int i = 0; i < 10; ++i) {
            const double radius = (i % 2 ? 0.2 : 0.47) * std::min(width, height), angle = i * 3.14159265 / 5;
            star << QPointF(width / 2.0 + radius * std::sin(angle), height / 2.0 - radius * std::cos(angle));
        }
        painter.drawPolygon(star);
    }
    painter.end();
    const QImage straight = image.convertToFormat(QImage::Format_ARGB32);
    const int depth = variant % 5 == 4 ? 24 : 32;
    std::vector<Rgba> pixels;
    for (int y = height - 1; y >= 0; --y) {
        for (int x = 0; x < width; ++x) {
            // A 24-bit export flattens the art onto white.
            const QRgb p = straight.pixel(x, y);
            const int a = qAlpha(p), kept = depth == 32 ? 255 : a;
            auto flat = [kept](int c) { return (c * kept + 255 * (255 - kept)) / 255; };
            pixels.push_back(Rgba{flat(qRed(p)), flat(qGreen(p)), flat(qBlue(p)), depth == 32 ? a : 255});
        }
    }
    return {numbered("art", variant, ".bmp"), makeBitmap(width, height, pixels, depth, variant % 3 == 1)};
}
#endif

// Rows whose codes take exactly 255 and 256 bytes (every pixel its own code), palettes of 253 and 254
// combinations made of one colour at many alphas, soft edges included; then `seeds` generated cases and
// the painted art.
std::vector<Case> cases(int seeds) {
    std::vector<Case> cases;
    for (int width : {255, 256}) {
        for (int depth : {24, 32}) {
            std::vector<Rgba> pixels;
            for (int x = 0; x < 2 * width; ++x) {  // both rows alike
                pixels.push_back(x % 2 ? Rgba{10, 200, 30, depth == 32 ? 3 : 255} : Rgba{250, 4, 4});
            }
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
        cases.push_back({numbered("palette", combinations, ".bmp"), makeBitmap(combinations, 2, pixels, 32)});
    }
    // The smallest soft edge: one pixel of alpha 1 beside opaque ones.
    cases.push_back({"soft_edge.bmp", makeBitmap(6, 1, repeat({{Rgba{255, 0, 0, 1}, 1}, {Red, 5}}))});
    for (int seed = 0; seed < seeds; ++seed) {
        cases.push_back(generatedCase(seed));
    }
#ifdef TARVIK_TEST_QT_ART
    for (int variant = 0; variant < 16; ++variant) {
        cases.push_back(paintedCase(variant));
    }
#endif
    return cases;
}

bool hasSoftEdge(const Bytes& file) {
    ImageModel model;
    return decodeBitmap(file, model) &&
           std::ranges::any_of(model.Pixels, [](const PixelRecord& p) { return p.Alpha > 0 && p.Alpha < 7; });
}

TEST(EntryPoints, WindowCompressCommandAndBatchWriteTheSameBytes) {
    std::vector<Case> all = cases(240);
    // Damaged copies of a few: the same refusal everywhere.
    for (int i = 0; i < 6; ++i) {
        Bytes cut = all[static_cast<std::size_t>(10 + i * 17)].file;
        cut.resize(cut.size() - 1 - static_cast<std::size_t>(i) * 13 % cut.size() / 2);
        all.push_back({numbered("cut", i, ".bmp"), cut});
    }
    TempDir dir;
    auto [batchResults, summary] = runBatch(dir, all, batch::Direction::Compress);
    ASSERT_EQ(summary.processed, all.size());

    int converted = 0, softEdges = 0, art = 0;
    for (std::size_t i = 0; i < all.size(); ++i) {
        SCOPED_TRACE(all[i].name);
        const fs::path in = dir / ("src/" + all[i].name);
        const std::string window = throughWindow(in, dir / "window.rl");
        const bool wrote = window.starts_with("wrote");
        EXPECT_EQ(throughCompress(in, dir / "compress.rl"), window);
        EXPECT_EQ(batchResults[in.string()], window);
        if (i % 8 == 0) {  // the program itself on every eighth case
            EXPECT_EQ(throughProgram(in, dir / "program.rl", "compress"), wrote ? window : "refused");
        }
        converted += wrote;
        softEdges += wrote && hasSoftEdge(all[i].file);
        art += wrote && all[i].name.starts_with("art");
    }
    // The cases reach what they are for: most convert, soft edges among them.
    EXPECT_GT(converted, static_cast<int>(all.size()) / 2);
    EXPECT_GT(softEdges, 20);
#ifdef TARVIK_TEST_QT_ART
    EXPECT_GE(art, 4);
#endif
}

// Fitting: the core on the image the window would hold, `compress --fit`, and the batch engine with --fit on
// the bitmap and on a PNG of the same pixels must write the same bytes, or all refuse.
TEST(EntryPoints, FittingWritesTheSameBytesEverywhereFromBitmapsAndPngs) {
    std::vector<Case> all = cases(60);
    for (unsigned seed = 0; seed < 6; ++seed) {
        const int width = 20 + static_cast<int>(seed) * 23, height = 16 + static_cast<int>(seed) * 9;
        all.push_back(
            {numbered("soft", static_cast<int>(seed), ".bmp"),
             makeBitmap(width, height, testart::softSprite(width, height, seed), seed % 3 ? 32 : 24)});
    }
    all.push_back({"photo.bmp", makeBitmap(300, 12, testart::photo(300, 12, 1), 24)});
    const std::size_t bitmaps = all.size();
    for (std::size_t i = 0; i < bitmaps; ++i) {
        if (const Bytes png = pngOf(all[i].file); !png.empty()) {
            all.push_back({all[i].name.substr(0, all[i].name.size() - 4) + "_png.PNG", png});
        }
    }
    TempDir dir;
    auto [batchResults, summary] = runBatch(dir, all, batch::Direction::Compress, true);

    int fitted = 0;
    for (std::size_t i = 0; i < bitmaps; ++i) {
        SCOPED_TRACE(all[i].name);
        const fs::path in = dir / ("src/" + all[i].name);
        const std::string stem = all[i].name.substr(0, all[i].name.size() - 4);
        std::string core = "refused";
        if (ImageModel model; LoadBitmapImage(in, model)) {
            if (const auto fit = fitting::fitImage(model)) {
                core = written(fit->rl);
                fitted += fit->report.untouched ? 0 : 1;
            }
        }
        const auto outcome = [&](const fs::path& entry) {
            const std::string& text = batchResults[entry.string()];
            return text.starts_with("wrote") ? text : "refused";
        };
        EXPECT_EQ(outcome(in), core);
        if (fs::exists(dir / ("src/" + stem + "_png.PNG"))) {
            EXPECT_EQ(outcome(dir / ("src/" + stem + "_png.PNG")), core);
            EXPECT_EQ(fs::exists(dir / ("backup/" + stem + "_png.bmp")), core != "refused");
        }
        if (i % 6 == 0) {
            EXPECT_EQ(throughProgram(in, dir / "program.rl", "compress", true), core);
        }
    }
    // The cases reach what they are for: many need fitting, and the summary counts them apart.
    EXPECT_GE(fitted, 8);
    EXPECT_EQ(summary.fitted, static_cast<std::size_t>(2 * fitted));
    EXPECT_EQ(summary.failed, 0u);
}

// RL files, read back by the three: bytes after the last row are ignored, however many there are.
TEST(EntryPoints, RlFilesReadTheSameEverywhereWhateverTrailsThem) {
    std::vector<Case> rls;
    for (int seed = 0; seed < 12; ++seed) {
        if (const Bytes rl = rlOf(generatedCase(seed).file); !rl.empty()) {
            rls.push_back({numbered("rl", seed, ".bmp"), rl});
        }
    }
    rls.push_back({"trailing.bmp", redGapBlueRl()});
    rls.back().file.resize(40u << 20);
    TempDir dir;
    const auto [unused, summary] = runBatch(dir, rls, batch::Direction::Decompress);
    EXPECT_EQ(summary.converted, rls.size());
    for (const Case& c : rls) {
        SCOPED_TRACE(c.name);
        ImageModel model;
        ASSERT_TRUE(LoadCompressedImage(dir / ("src/" + c.name), model));
        ASSERT_TRUE(SaveBitmapImage(dir / "window.bmp", model));
        const std::string window = written(readFile(dir / "window.bmp"));
        EXPECT_EQ(throughProgram(dir / ("src/" + c.name), dir / "cli.bmp", "decompress"), window);
        EXPECT_EQ(written(readFile(dir / ("backup/" + c.name))), window);
    }
}

}  // namespace
}  // namespace batch_test

#ifdef TARVIK_TEST_QT_ART
int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
#endif
