#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

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

TEST_F(ImageCommands, InfoPrintsOneJsonObjectAndFailsOnFilesItCannotRead) {
    writeFile(path("row.bmp"), makeBitmap(10, 1, redGapBlueRow()));
    writeFile(path("row.rl"), redGapBlueRl());
    writeFile(path("lower.bmp"), {'b', 'm', 1, 2});
    const std::vector<std::tuple<std::string, int, std::string, std::string>> rows = {
        // file, exit code, the line on stdout, a part of stderr
        {"row.bmp", 0,
         R"({"format": "bmp", "file_size": 94, "width": 10, "height": 1, "bit_depth": 32, )"
         R"("windows_colors": 2, "compressed_colors": 2, "alpha_pixels": 2, "transparent_pixels": 2, )"
         R"("compressible": true, "fits": true, "longest_row_bytes": 8, "fit_free_combinations": 2})",
         ""},
        {"row.rl", 0,
         R"({"format": "rl", "file_size": 27, "width": 10, "height": 1, "bit_depth": 16, )"
         R"("windows_colors": null, "compressed_colors": 2, "alpha_pixels": 2, "transparent_pixels": 2, )"
         R"("compressible": false, "fits": null, "longest_row_bytes": null, "fit_free_combinations": null})",
         ""},
        {"lower.bmp", 1,
         R"({"format": "unknown", "file_size": 4, "width": null, "height": null, "bit_depth": null, )"
         R"("windows_colors": null, "compressed_colors": null, "alpha_pixels": null, )"
         R"("transparent_pixels": null, "compressible": false, "fits": null, "longest_row_bytes": null, )"
         R"("fit_free_combinations": null})",
         "unknown file type"},
        {"missing.bmp", 1, "", "missing.bmp"}};
    for (const auto& [name, exitCode, out, err] : rows) {
        const Ran ran = run({"info", path(name), "--json"});
        EXPECT_EQ(ran.exitCode, exitCode) << name;
        EXPECT_EQ(ran.out, out.empty() ? out : out + "\n") << name;
        EXPECT_TRUE(err.empty() ? ran.err.empty() : ran.err.find(err) != std::string::npos) << ran.err;
    }

    const Ran text = run({"info", path("row.bmp")});
    EXPECT_EQ(text.exitCode, 0);
    EXPECT_NE(text.out.find("Colours in 16 bits:  2\n"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("Compressible:        yes\n"), std::string::npos) << text.out;
    Bytes truncated = makeBitmap(10, 4, std::vector<Rgba>(40));
    truncated.resize(truncated.size() - 1);
    writeFile(path("short.bmp"), truncated);
    const Ran damaged = run({"info", path("short.bmp")});
    EXPECT_EQ(damaged.exitCode, 1);
    EXPECT_NE(damaged.err.find("truncated pixel data"), std::string::npos) << damaged.err;
}

TEST_F(ImageCommands, CompressAndDecompressWriteExactBytes) {
    // An odd name on purpose: blanks, a quote and an accent reach the program unchanged.
    const std::string bmp = path("my 'row' é.bmp");
    writeFile(bmp, makeBitmap(10, 1, redGapBlueRow()));
    const Ran compressed = run({"compress", bmp, path("row.rl")});
    EXPECT_EQ(compressed.exitCode, 0) << compressed.err;
    EXPECT_EQ(readFile(path("row.rl")), redGapBlueRl());

    const Ran decompressed = run({"decompress", path("row.rl"), path("back.bmp")});
    EXPECT_EQ(decompressed.exitCode, 0) << decompressed.err;
    // 32 bits since it has transparency; 5-6-5 colours.
    Bytes expected = makeBitmap(10, 1, repeat({{Rgba{248, 0, 0}, 5}, {Clear, 2}, {Rgba{0, 0, 248}, 3}}));
    putU32(expected, 38, 2835), putU32(expected, 42, 2835);
    EXPECT_EQ(readFile(path("back.bmp")), expected);
}

TEST_F(ImageCommands, SoftEdgesCompressAndTrailingBytesAreIgnoredWhateverTheirSize) {
    // Alpha 1 is transparent in RL and has no palette entry: its code is the key, not a changed file.
    writeFile(path("soft.bmp"), makeBitmap(6, 1, repeat({{Rgba{255, 0, 0, 1}, 1}, {Red, 5}})));
    const Ran soft = run({"compress", path("soft.bmp"), path("soft.rl")});
    EXPECT_EQ(soft.exitCode, 0) << soft.err;
    EXPECT_EQ(readFile(path("soft.rl")), (Bytes{'R', 'L', 1, 0, 6, 0, 1, 0, 2, 0, 1, 0, 0x1F, 0xF8, 0x00,
                                                 0xF8, 0x20, 0x20, 4, 0x00, 0xFE, 0x01, 0x05}));

    // 40 MiB after the last row of an RL file and of a bitmap: read as the files without them.
    Bytes rl = redGapBlueRl();
    writeFile(path("long.rl"), rl);
    std::filesystem::resize_file(path("long.rl"), 40u << 20);
    Bytes bmp = makeBitmap(10, 1, redGapBlueRow());
    writeFile(path("long.bmp"), bmp);
    std::filesystem::resize_file(path("long.bmp"), 40u << 20);
    EXPECT_EQ(run({"decompress", path("long.rl"), path("long_back.bmp")}).exitCode, 0);
    writeFile(path("row.rl"), rl);
    EXPECT_EQ(run({"decompress", path("row.rl"), path("row_back.bmp")}).exitCode, 0);
    EXPECT_EQ(readFile(path("long_back.bmp")), readFile(path("row_back.bmp")));
    EXPECT_EQ(run({"compress", path("long.bmp"), path("long.out")}).exitCode, 0);
    EXPECT_EQ(readFile(path("long.out")), rl);
    EXPECT_EQ(run({"info", path("long.rl"), "--json"}).exitCode, 0);

    // Every alpha byte 0: read as fully transparent, with a warning; one visible pixel is enough to be quiet.
    writeFile(path("blank.bmp"), makeBitmap(3, 2, std::vector<Rgba>(6, Rgba{200, 10, 10, 0})));
    writeFile(path("almost.bmp"), makeBitmap(3, 2, repeat({{Rgba{200, 10, 10, 0}, 5}, {Red, 1}})));
    for (const char* command : {"info", "compress"}) {
        const std::vector<std::string> blankArgs = command == std::string("info")
                                                       ? std::vector<std::string>{"info", path("blank.bmp")}
                                                       : std::vector<std::string>{"compress", path("blank.bmp"), path("b.rl")};
        const Ran blank = run(blankArgs);
        EXPECT_EQ(blank.exitCode, 0) << command;
        EXPECT_NE(blank.err.find("warning: every pixel is fully transparent"), std::string::npos) << blank.err;
    }
    EXPECT_EQ(run({"compress", path("almost.bmp"), path("a.rl")}).err, "");

    // No palette entry at all, not even the key: no colours, not -1 of them.
    writeFile(path("empty.rl"), Bytes{'R', 'L', 0, 0, 2, 0, 1, 0, 0, 0, 0, 0, 0x1F, 0xF8});
    const Ran empty = run({"info", path("empty.rl"), "--json"});
    EXPECT_EQ(empty.exitCode, 0) << empty.err;
    EXPECT_NE(empty.out.find("\"compressed_colors\": 0,"), std::string::npos) << empty.out;
}

// Every failure is one line, "tarvikbmp: FILE: VERB: REASON", naming the file it concerns: OUT when OUT
// cannot be written, IN otherwise. Nothing is written, no temporary is left, an existing OUT is kept.
TEST_F(ImageCommands, EachFailureNamesItsFileAndWhatCouldNotBeDone) {
    writeFile(path("row.bmp"), makeBitmap(10, 1, redGapBlueRow()));
    writeFile(path("row.rl"), redGapBlueRl());
    Bytes shortBitmap = makeBitmap(10, 4, std::vector<Rgba>(40));
    shortBitmap.pop_back();
    writeFile(path("short.bmp"), shortBitmap);
    Bytes shortRl = redGapBlueRl();
    shortRl.resize(shortRl.size() - 2);
    writeFile(path("short.rl"), shortRl);
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
                             {"info", "--bogus", "a"}}) {
        EXPECT_EQ(run(args).exitCode, 2) << args[0];
    }
    const Ran help = run({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("decompress"), std::string::npos);
    EXPECT_EQ(run({"--version"}).out, "tarvikbmp " TARVIKBMP_VERSION "\n");
}
