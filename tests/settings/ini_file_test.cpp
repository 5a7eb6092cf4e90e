#include "ini_file.h"

#include <gtest/gtest.h>

#include "test_helpers.h"

using namespace settings;
using namespace testhelpers;

namespace {

// LF and CR LF mixed on purpose: both are read. The first "Language" belongs to no section.
const fs::path& sampleIni() {
    static const TempDir dir;
    static const fs::path ini = [] {
        std::string text = "Language=9\n; Folder1=/comment\n[ general ]\r\nEmpty=\r\nBlanks=   \n";
        text += "  folder1 =  /home/u/Images  \nFOLDER2=\"  quoted  \"\nFolder3='/x'\nFolder4=\"/unbalanced\n";
        text += "Language=2\nLanguage=3\nCut254=" + std::string(254, 'z') + "\nCut255=" + std::string(255, 'a');
        text += "\r\nAccented=" + std::string(253, 'b') + "\xC3\xA9" + "ccc\r\n";
        writeFile(dir / "a.ini", text);
        return dir / "a.ini";
    }();
    return ini;
}

struct ReadRow {
    const char* name;
    const char* section;
    const char* key;
    std::string fallback, expected;
};

class ReadIniValueRow : public testing::TestWithParam<ReadRow> {};

}  // namespace

TEST_P(ReadIniValueRow, GivesTheStoredValueOrTheDefault) {
    const ReadRow& row = GetParam();
    EXPECT_EQ(ReadIniValue(sampleIni(), row.section, row.key, row.fallback), row.expected);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(ReadIniValue, ReadIniValueRow, testing::Values(
    ReadRow{"OtherSectionGivesTheDefault", "OTHER", "Folder1", "x", "x"},
    ReadRow{"EmptyValueGivesTheDefault", "General", "Empty", "c:\\", "c:\\"},
    ReadRow{"BlankValueGivesTheDefault", "General", "Blanks", "c:\\", "c:\\"},
    ReadRow{"EmptyValueAndEmptyDefault", "General", "Empty", "", ""},
    ReadRow{"MissingKeyGivesTheDefault", "General", "Missing", "1", "1"},
    ReadRow{"NamesIgnoreCaseAndBlanks", "General", "Folder1", "", "/home/u/Images"},
    ReadRow{"DoubleQuotesAreDropped", "General", "folder2", "", "  quoted  "},
    ReadRow{"SingleQuotesAreDropped", "General", "Folder3", "", "/x"},
    ReadRow{"AnUnbalancedQuoteStays", "General", "Folder4", "", "\"/unbalanced"},
    ReadRow{"TheFirstKeyInTheSectionWins", "General", "Language", "1", "2"},
    ReadRow{"ValuesOf254BytesAreWhole", "General", "Cut254", "", std::string(254, 'z')},
    ReadRow{"LongerValuesAreCutAt254Bytes", "General", "Cut255", "", std::string(254, 'a')},
    ReadRow{"TheCutNeverSplitsACharacter", "General", "Accented", "", std::string(253, 'b') + "\xC3\xA9"}),
    [](const testing::TestParamInfo<ReadRow>& info) { return std::string(info.param.name); });
// clang-format on

TEST(ReadIniValue, AMissingFileGivesTheDefault) {
    TempDir dir;
    EXPECT_EQ(ReadIniValue(dir / "none.ini", "GENERAL", "Folder4", "c:\\"), "c:\\");
}

TEST(WriteIniValue, ReplacesInPlaceAndKeepsEverythingElse) {
    TempDir dir;
    const auto ini = dir / "a.ini";
    writeFile(ini,
              "; written by hand\n[Other]\nFolder1=keep me\n\n[general]\nfolder1 = old\nLanguage=2\n\n"
              "[Last]\nx=y");  // no line end at the very end
    EXPECT_TRUE(WriteIniValue(ini, "GENERAL", "FOLDER1", "new"));
    EXPECT_TRUE(WriteIniValue(ini, "GENERAL", "Folder7", "/backup"));
    EXPECT_TRUE(WriteIniValue(ini, "Fresh", "k", "v"));
    EXPECT_EQ(
        readText(ini),
        "; written by hand\r\n[Other]\r\nFolder1=keep me\r\n\r\n[general]\r\nfolder1=new\r\nLanguage=2\r\n"
        "Folder7=/backup\r\n\r\n[Last]\r\nx=y\r\n\r\n[Fresh]\r\nk=v\r\n");
}

TEST(WriteIniValue, FolderNamesComeBackAsTheyWereWritten) {
    TempDir dir;
    const auto ini = dir / "a.ini";
    // Blanks around a value and enclosing quotes are dropped on reading, yet folders may be named so.
    const std::string names[] = {"/a/dossier ", " /lead", "\"/q\"", "'/s'", "/a \"b\" c", "\"/open", ""};
    for (const std::string& name : names) {
        EXPECT_TRUE(WriteIniValue(ini, "GENERAL", "Folder1", name));
        EXPECT_EQ(ReadIniValue(ini, "GENERAL", "Folder1", ""), name) << name;
    }
    EXPECT_TRUE(WriteIniValue(ini, "GENERAL", "Folder2", "/a/dossier "));
    EXPECT_TRUE(WriteIniValue(ini, "GENERAL", "Folder3", "/plain"));
    EXPECT_EQ(readText(ini), "[GENERAL]\r\nFolder1=\r\nFolder2=\"/a/dossier \"\r\nFolder3=/plain\r\n");
}

TEST(WriteIniValue, RefusesTextThatWouldBreakTheFile) {
    TempDir dir;
    const auto ini = dir / "a.ini";
    writeFile(ini, "[GENERAL]\r\nFolder1=/a\r\n");
    // A folder name may hold a line break on this system; writing it would forge a second entry.
    const std::vector<std::array<std::string, 3>> refused = {{"GENERAL", "Folder1", "/b\r\nLanguage=9"},
                                                             {"GENERAL", "Folder1", std::string("/b\0c", 4)},
                                                             {"GENERAL", "Key=2", "x"},
                                                             {"GEN]ERAL", "Folder1", "x"},
                                                             {"GENERAL", " ", "x"}};
    for (const auto& [section, key, value] : refused) {
        const auto written = WriteIniValue(ini, section, key, value);
        ASSERT_FALSE(written) << key << value;
        EXPECT_EQ(written.error().code, tarvik::ErrorCode::Unsupported) << key << value;
    }
    EXPECT_EQ(readText(ini), "[GENERAL]\r\nFolder1=/a\r\n");
}

TEST(WriteIniValue, FailedWriteLeavesTheOldFileIntact) {
    TempDir dir;
    const auto ini = dir / "TarvikBMP.ini";
    writeFile(ini, "[GENERAL]\r\nFolder1=/old\r\n");
    EXPECT_EQ(inChildWithFullDisk([&] { return WriteIniValue(ini, "GENERAL", "Folder1", "/new") ? 1 : 0; }),
              0)
        << "the write must report its failure";
    EXPECT_EQ(readText(ini), "[GENERAL]\r\nFolder1=/old\r\n");
    EXPECT_EQ(dir.entryCount(), 1u);

    // A settings "file" that cannot be read is never replaced by one holding a single key.
    fs::create_directory(dir / "Other.ini");
    const auto unreadable = WriteIniValue(dir / "Other.ini", "GENERAL", "Folder1", "/new");
    ASSERT_FALSE(unreadable);
    EXPECT_EQ(unreadable.error().code, tarvik::ErrorCode::Io);
    EXPECT_TRUE(fs::is_directory(dir / "Other.ini"));

    EXPECT_FALSE(WriteIniValue(dir / "missing" / "a.ini", "GENERAL", "Folder1", "/new"));
    EXPECT_FALSE(fs::exists(dir / "missing"));
}
