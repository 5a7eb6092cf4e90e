#include <gtest/gtest.h>

#include "ascii_case.h"
#include "file_names.h"
#include "language_list.h"
#include "test_helpers.h"

using namespace settings;
using namespace testhelpers;

TEST(ResolveIgnoringCase, AnExactNameWinsElseTheFirstVariantInListingOrder) {
    TempDir dir;
    for (const char* name : {"french.lng", "French.lng", "FRENCH.LNG", "flag.GIF"}) {
        writeFile(dir / name, name);
    }
    EXPECT_EQ(resolveIgnoringCase(dir / "French.lng"), dir / "French.lng");
    // Upper-cased the three are one name; the exact bytes then order them, capitals first.
    EXPECT_EQ(resolveIgnoringCase(dir / "fRENCH.lng"), dir / "FRENCH.LNG");
    EXPECT_EQ(resolveIgnoringCase(dir / "Flag.gif"), dir / "flag.GIF");
    EXPECT_EQ(findIgnoringCase(dir.path, "FLAG.gif"), dir / "flag.GIF");
}

TEST(ResolveIgnoringCase, NothingWhenThereIsNoSuchNameOrNoFolder) {
    TempDir dir;
    writeFile(dir / "French.lng", "");
    EXPECT_EQ(resolveIgnoringCase(dir / "French.lng.bak"), std::nullopt);
    EXPECT_EQ(resolveIgnoringCase(dir / "Frénch.lng"), std::nullopt);  // only ASCII letters fold
    EXPECT_EQ(resolveIgnoringCase(dir / "missing" / "French.lng"), std::nullopt);
    EXPECT_EQ(resolveIgnoringCase(dir.path / ""), std::nullopt);  // a folder path names no file
}

TEST(CaseInsensitiveNames, ListingOrderComparesUpperCaseThenBytes) {
    // clang-format off
    const std::vector<std::pair<std::string, std::string>> ordered = {  // first sorts before second
        {"AB.lng", "A_B.lng"},       // "_" comes after the letters in upper case
        {"zulu.lng", "\xC3\x89t\xC3\xA9.lng"},  // accented names after ASCII ones
        {"ABC", "abc"},              // same name: the bytes decide, so the order is total
        {"a", "ab"}};
    // clang-format on
    for (const auto& [first, second] : ordered) {
        EXPECT_TRUE(tarvik::lessIgnoringCase(first, second)) << first << " < " << second;
        EXPECT_FALSE(tarvik::lessIgnoringCase(second, first)) << first << " < " << second;
    }
    EXPECT_TRUE(tarvik::equalsIgnoringCase("GENERAL", "general"));
    EXPECT_FALSE(tarvik::equalsIgnoringCase("\xC3\x89", "\xC3\xA9"));  // É and é stay different
    EXPECT_TRUE(tarvik::endsWithIgnoringCase("image.BMP", ".bmp"));
    EXPECT_FALSE(tarvik::endsWithIgnoringCase("bmp", ".bmp"));
}

// Flags sit in one row 510 twips apart (390 wide and a 120 gap); the active one is framed and raised.
TEST(FlagPlacement, RowPositionsAndTheRaisedActiveFlag) {
    struct Row {
        const char* what;
        int number;
        bool active;
        FlagPlacement expected;
    };
    const Row rows[] = {
        {"template outside the window", 0, false, {-440, 6120, 390, 255, false}},
        {"template never framed", 0, true, {-440, 6120, 390, 255, false}},
        {"first flag", 1, false, {70, 6320, 390, 255, false}},
        {"first flag active", 1, true, {70, 6280, 390, 255, true}},
        {"fourth flag", 4, false, {1600, 6320, 390, 255, false}},
    };
    auto fields = [](const FlagPlacement& p) { return std::tuple(p.left, p.top, p.width, p.height, p.framed); };
    for (const Row& row : rows) {
        EXPECT_EQ(fields(flagPlacement(row.number, row.active)), fields(row.expected)) << row.what;
    }
}
