// The manual page is made from the help texts, so they must name everything the program puts out.
#include <gtest/gtest.h>

#include <regex>

#include "test_images.h"

using namespace testimages;

TEST(Help, NamesEveryKeyAndFormatOfInfoJson) {
    const TempDir dir;
    writeFile(dir / "one.bmp", makeBitmap(1, 1, {Red}, 24));
    writeFile(dir / "other.txt", "hello");
    const Ran help = runProgram(TARVIKBMP_ALONE, {"info", "--help"});
    ASSERT_EQ(help.exitCode, 0);
    for (const char* file : {"one.bmp", "other.txt"}) {
        const Ran json = runProgram(TARVIKBMP_ALONE, {"info", "--json", (dir / file).string()});
        const std::regex key("\"([a-z_0-9]+)\": (\"[a-z]+\")?");
        int keys = 0;
        for (std::sregex_iterator it(json.out.begin(), json.out.end(), key), end; it != end; ++it, ++keys) {
            for (int part : {1, 2}) {
                EXPECT_TRUE(!(*it)[part].matched || help.out.find((*it)[part].str()) != std::string::npos)
                    << "info --help lacks " << (*it)[part];
            }
        }
        EXPECT_GE(keys, 10) << file << json.out << json.err;
    }
}

// A name such as -x.bmp is taken for an option unless "--" comes first; every command that takes paths says so.
TEST(Help, EveryCommandTakingPathsNamesTheEndOfOptions) {
    for (const char* command : {"info", "compress", "decompress", "batch"}) {
        const Ran help = runProgram(TARVIKBMP_ALONE, {command, "--help"});
        EXPECT_EQ(help.exitCode, 0) << command;
        EXPECT_NE(help.out.find("follows \"--\""), std::string::npos) << command << ":\n" << help.out;
    }
    EXPECT_EQ(runProgram(TARVIKBMP_ALONE, {"info", "-x.bmp"}).exitCode, 2);
    const Ran taken = runProgram(TARVIKBMP_ALONE, {"info", "--", "-x-not-here.bmp"});
    EXPECT_EQ(taken.err.rfind("tarvikbmp: -x-not-here.bmp: cannot read: ", 0), 0u)
        << taken.err;  // read as a path
}
