// The manual page is made from the help texts, so they must name everything the program puts out.
#include <gtest/gtest.h>

#include <regex>

#include "test_helpers.h"

using namespace testhelpers;

TEST(Help, NamesEveryKeyAndFormatOfInfoJson) {
    const TempDir dir;
    // A 1x1 24-bit bitmap, a file of no known kind.
    std::string bitmap = "BM";
    for (unsigned value : {58u, 0u, 54u, 40u, 1u, 1u}) {
        for (int shift = 0; shift < 32; shift += 8) {
            bitmap += static_cast<char>((value >> shift) & 0xFF);
        }
    }
    bitmap.replace(6, 4, std::string(4, '\0'));
    bitmap += std::string("\x01\x00\x18\x00", 4) + std::string(24, '\0') + std::string("\x10\x20\x30\x00", 4);
    writeFile(dir / "one.bmp", bitmap);
    writeFile(dir / "other.txt", "hello");

    const Ran help = runProgram(TARVIKBMP_ALONE, {"info", "--help"});
    ASSERT_EQ(help.exitCode, 0);
    for (const char* file : {"one.bmp", "other.txt"}) {
        const Ran json = runProgram(TARVIKBMP_ALONE, {"info", "--json", (dir / file).string()});
        ASSERT_FALSE(json.out.empty()) << file << json.err;
        const std::regex key("\"([a-z_0-9]+)\": (\"[a-z]+\")?");
        int keys = 0;
        for (std::sregex_iterator it(json.out.begin(), json.out.end(), key), end; it != end; ++it, ++keys) {
            EXPECT_NE(help.out.find((*it)[1].str()), std::string::npos) << "info --help lacks the key " << (*it)[1];
            if ((*it)[2].matched) {
                EXPECT_NE(help.out.find((*it)[2].str()), std::string::npos) << "info --help lacks " << (*it)[2];
            }
        }
        EXPECT_GE(keys, 10) << json.out;
    }
}

// A name such as -x.bmp is taken for an option unless "--" comes first; every command that takes paths says so.
TEST(Help, EveryCommandTakingPathsNamesTheEndOfOptions) {
    for (const char* command : {"info", "compress", "decompress", "batch"}) {
        const Ran help = runProgram(TARVIKBMP_ALONE, {command, "--help"});
        EXPECT_EQ(help.exitCode, 0) << command;
        EXPECT_NE(help.out.find("follows \"--\""), std::string::npos) << command << ":\n" << help.out;
    }
    const Ran refused = runProgram(TARVIKBMP_ALONE, {"info", "-x.bmp"});
    EXPECT_EQ(refused.exitCode, 2);
    const Ran taken = runProgram(TARVIKBMP_ALONE, {"info", "--", "-x-not-here.bmp"});
    EXPECT_EQ(taken.exitCode, 1);  // read as a path: it does not exist
    EXPECT_NE(taken.err.find("-x-not-here.bmp"), std::string::npos) << taken.err;
}
