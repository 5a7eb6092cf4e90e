#include <gtest/gtest.h>

#include <algorithm>

#include "test_images.h"

using namespace testimages;

namespace {

class ImageCommands : public ::testing::Test {
protected:
    static Ran run(const std::vector<std::string>& args) { return runProgram(TARVIKBMP_PATH, args); }
    std::string path(const std::string& name) const { return (m_dir / name).string(); }
    TempDir m_dir;
};

}  // namespace

// Scripts read these lines: every key, null where a value means nothing for the kind of file.
TEST_F(ImageCommands, InfoPrintsOneJsonObjectOrTheTextLines) {
    writeFile(path("row.bmp"), makeBitmap(10, 1, redGapBlueRow()));
    writeFile(path("row.rl"), redGapBlueRl());
    writeFile(path("lower.bmp"), {'b', 'm', 1, 2});
    // No palette entry at all, not even the key: no colours, not -1 of them.
    writeFile(path("empty.rl"), Bytes{'R', 'L', 0, 0, 2, 0, 1, 0, 0, 0, 0, 0, 0x1F, 0xF8});
    const struct {
        const char* file;
        int exitCode;
        std::string json;
    } rows[] = {
        {"row.bmp", 0,
         R"({"format": "bmp", "file_size": 94, "width": 10, "height": 1, "bit_depth": 32, )"
         R"("windows_colors": 2, "compressed_colors": 2, "alpha_pixels": 2, "transparent_pixels": 2, )"
         R"("compressible": true, "fits": true, "longest_row_bytes": 8, "fit_free_combinations": 2})"},
        {"row.rl", 0,
         R"({"format": "rl", "file_size": 27, "width": 10, "height": 1, "bit_depth": 16, )"
         R"("windows_colors": null, "compressed_colors": 2, "alpha_pixels": 2, "transparent_pixels": 2, )"
         R"("compressible": false, "fits": null, "longest_row_bytes": null, "fit_free_combinations": null})"},
        {"lower.bmp", 1,
         R"({"format": "unknown", "file_size": 4, "width": null, "height": null, "bit_depth": null, )"
         R"("windows_colors": null, "compressed_colors": null, "alpha_pixels": null, )"
         R"("transparent_pixels": null, "compressible": false, "fits": null, "longest_row_bytes": null, )"
         R"("fit_free_combinations": null})"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.file);
        const Ran ran = run({"info", path(row.file), "--json"});
        EXPECT_EQ(ran.exitCode, row.exitCode);
        EXPECT_EQ(ran.out, row.json + "\n");
        EXPECT_EQ(ran.err.empty(), row.exitCode == 0) << ran.err;
    }
    EXPECT_EQ(run({"info", path("lower.bmp")}).err,
              "tarvikbmp: " + path("lower.bmp") +
                  ": cannot read: unknown file type (neither a Windows bitmap, a PNG nor an RL file)\n");
    EXPECT_NE(run({"info", path("empty.rl"), "--json"}).out.find(R"("compressed_colors": 0,)"),
              std::string::npos);
    const Ran text = run({"info", path("row.bmp")});
    EXPECT_EQ(text.exitCode, 0);
    EXPECT_NE(text.out.find("Colours in 16 bits:  2\nPixels with alpha:   2\n"), std::string::npos)
        << text.out;
    EXPECT_NE(text.out.find("Compressible:        yes\n"), std::string::npos) << text.out;
}

// Every alpha byte 0: read as fully transparent, with a warning; one visible pixel is enough to be quiet.
TEST_F(ImageCommands, AnAllTransparentBitmapIsConvertedWithAWarning) {
    writeFile(path("blank.bmp"), makeBitmap(3, 2, std::vector<Rgba>(6, Rgba{200, 10, 10, 0})));
    writeFile(path("almost.bmp"), makeBitmap(3, 2, repeat({{Rgba{200, 10, 10, 0}, 5}, {Red, 1}})));
    for (const std::vector<std::string>& args : {std::vector<std::string>{"info", path("blank.bmp")},
                                                 {"compress", path("blank.bmp"), path("b.rl")}}) {
        const Ran blank = run(args);
        EXPECT_EQ(blank.exitCode, 0) << args[0];
        EXPECT_NE(blank.err.find(path("blank.bmp") + ": warning: every pixel is fully transparent"),
                  std::string::npos)
            << blank.err;
    }
    EXPECT_EQ(run({"compress", path("almost.bmp"), path("a.rl")}).err, "");
}

// An odd name on purpose: blanks, a quote and an accent reach the program unchanged. The 40 MiB after the
// last row are not the image's: read as the file without them. (Decompression is compared with the window's.)
TEST_F(ImageCommands, CompressWritesExactBytes) {
    const std::string bmp = path("my 'row' é.bmp");
    writeFile(bmp, makeBitmap(10, 1, redGapBlueRow()));
    std::filesystem::resize_file(bmp, 40u << 20);
    const Ran compressed = run({"compress", bmp, path("row.rl")});
    EXPECT_EQ(compressed.exitCode, 0) << compressed.err;
    EXPECT_EQ(readFile(path("row.rl")), redGapBlueRl());
}

// Every failure is one line, "tarvikbmp: FILE: VERB: REASON", naming the file it concerns: OUT when OUT
// cannot be written, IN otherwise. Nothing is written, no temporary is left, an existing OUT is kept.
TEST_F(ImageCommands, EachFailureNamesItsFileAndWhatCouldNotBeDone) {
    writeFile(path("row.bmp"), makeBitmap(10, 1, redGapBlueRow()));
    writeFile(path("row.rl"), redGapBlueRl());
    const auto cut = [](Bytes bytes, std::size_t by) {
        return Bytes(bytes.begin(), bytes.end() - static_cast<long>(by));
    };
    writeFile(path("short.bmp"), cut(makeBitmap(10, 4, std::vector<Rgba>(40)), 1));
    writeFile(path("short.rl"), cut(redGapBlueRl(), 2));
    writeFile(path("many.bmp"), makeBitmap(300, 1, distinctColours(300), 24));
    std::vector<Rgba> stripes;  // a row no RL file can hold, however few its colours
    for (int x = 0; x < 30000; ++x) {
        stripes.push_back(x % 2 ? Red : Blue);
    }
    writeFile(path("wide.bmp"), makeBitmap(30000, 1, stripes));
    writeFile(path("kept.out"), {'o', 'l', 'd'});
    const std::string kept = path("kept.out"), gone = path("no-such-folder/x");
    const std::string noFolder =
        ": cannot write: cannot create a file in its folder: No such file or directory";

    const struct {
        const char* name;
        std::vector<std::string> args;
        std::string message;  // after "tarvikbmp: "
    } rows[] = {
        {"unreadable input",
         {"compress", path("missing.bmp"), kept},
         path("missing.bmp") + ": cannot read: No such file or directory"},
        {"not a picture",
         {"compress", path("row.rl"), kept},
         path("row.rl") + ": cannot compress: neither a Windows bitmap nor a PNG file"},
        {"not an RL file",
         {"decompress", path("row.bmp"), kept},
         path("row.bmp") + ": cannot decompress: not an RL file"},
        {"corrupt bitmap",
         {"compress", path("short.bmp"), kept},
         path("short.bmp") + ": cannot compress: truncated"},
        {"corrupt bitmap, info", {"info", path("short.bmp")}, path("short.bmp") + ": cannot read: truncated"},
        {"corrupt RL",
         {"decompress", path("short.rl"), kept},
         path("short.rl") + ": cannot decompress: truncated"},
        {"too many colours",
         {"compress", path("many.bmp"), kept},
         path("many.bmp") +
             ": cannot compress: too many colour/alpha combinations: 300 (at most 253) (--fit reduces it)"},
        {"fit impossible",
         {"compress", path("wide.bmp"), kept, "--fit"},
         path("wide.bmp") + ": cannot fit: a row of 30000 pixels"},
        {"write of compress", {"compress", path("row.bmp"), gone + ".rl"}, gone + ".rl" + noFolder},
        {"write of fit",
         {"compress", path("many.bmp"), gone + ".rl", "--fit", "-q"},
         gone + ".rl" + noFolder},
        {"write of decompress to a bitmap",
         {"decompress", path("row.rl"), gone + ".bmp"},
         gone + ".bmp" + noFolder},
        {"write of decompress to a PNG",
         {"decompress", path("row.rl"), gone + ".png"},
         gone + ".png" + noFolder},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const Ran ran = run(row.args);
        EXPECT_EQ(ran.exitCode, 1);
        EXPECT_EQ(ran.out, "");
        EXPECT_EQ(ran.err.rfind("tarvikbmp: " + row.message, 0), 0u) << ran.err;
        EXPECT_EQ(std::count(ran.err.begin(), ran.err.end(), '\n'), 1) << ran.err;
        EXPECT_EQ(readFile(kept), (Bytes{'o', 'l', 'd'}));
        EXPECT_EQ(m_dir.entryCount(), 7u);  // nothing new, no temporary left behind
    }
}

TEST_F(ImageCommands, UsageErrorsHelpAndVersion) {
    for (const auto& args : {std::vector<std::string>{"compress", "in"},
                             {"info"},
                             {"info", "a", "b"},
                             {"info", "--bogus", "a"},
                             {"compress", "a.bmp", "x.rl", "--dither"}}) {  // --dither needs --fit
        EXPECT_EQ(run(args).exitCode, 2) << args.back();
    }
    const Ran help = run({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("decompress"), std::string::npos);
    EXPECT_EQ(run({"--version"}).out, "tarvikbmp " TARVIKBMP_VERSION "\n");
}
