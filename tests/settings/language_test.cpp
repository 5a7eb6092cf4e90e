#include "language.h"

#include <gtest/gtest.h>

#include "temp_folder.h"
#include "windows1252.h"

using namespace settings;
using settings_test::readBytes;
using settings_test::TempFolder;
using settings_test::writeBytes;

namespace {

// A language loaded from a file holding exactly `bytes`.
struct LoadedLanguage {
    TempFolder dir;
    Language language;
    explicit LoadedLanguage(const std::string& bytes) {
        writeBytes(dir / "Test.lng", bytes);
        language.setLanguageFilePath(dir / "Test.lng");
        EXPECT_TRUE(language.LoadLanguageFile());
    }
};

}  // namespace

TEST(GetLangString, EscapesAndTheSecondText) {
    LoadedLanguage file(
        "Two=first\\nsecond|third\r\n"
        "Upper=a\\Nb\\Tc\\td\r\n"
        "Bars=one|two|three\r\n"
        "Empty=\r\n"
        "OnlyTip=|the tip\r\n"
        "Slash=a\\\\nb\\x\r\n");
    std::string second = "stale";
    EXPECT_EQ(file.language.GetLangString("Two", second, true), "first\r\nsecond");
    EXPECT_EQ(second, "third");
    EXPECT_EQ(file.language.GetLangString("Upper", second, true), "a\r\nb\tc\td");
    EXPECT_EQ(second, "");  // emptied even though the value has no "|"
    EXPECT_EQ(file.language.GetLangString("Bars", second, true), "one");
    EXPECT_EQ(second, "two|three");
    second = "stale";
    EXPECT_EQ(file.language.GetLangString("Bars", second, false), "one");
    EXPECT_EQ(second, "");
    EXPECT_EQ(file.language.GetLangString("Empty", second, true), "");
    EXPECT_EQ(file.language.GetLangString("OnlyTip", second, true), "");
    EXPECT_EQ(second, "the tip");
    EXPECT_EQ(file.language.GetLangString("Slash"), "a\\\r\nb\\x");
    EXPECT_EQ(file.language.GetLangString("Missing", second, true), "");
    EXPECT_EQ(second, "");
}

TEST(GetLangString, FirstOccurrenceAnywhereWins) {
    LoadedLanguage file(
        "Message_10=ten\r\n"
        "MainForm_LblTitre=long key\r\n"
        "Titre=short key\r\n"
        "Message_1=one\r\n"
        "MainForm_PictMenu_0=\r\n"
        "Menu_0=Image\r\n");
    EXPECT_EQ(file.language.GetLangString("Message_1"), "one");   // "=" must follow the key at once
    EXPECT_EQ(file.language.GetLangString("Titre"), "long key");  // found inside the earlier line
    EXPECT_EQ(file.language.GetLangString("Menu_0"), "");         // hidden by MainForm_PictMenu_0
    EXPECT_EQ(file.language.GetLangString("title"), "");          // case matters
}

TEST(GetLangString, EntriesNeedCrLf) {
    LoadedLanguage unterminated("A=1\r\nLast=no end");
    EXPECT_EQ(unterminated.language.GetLangString("A"), "1");
    EXPECT_EQ(unterminated.language.GetLangString("Last"), "");
    LoadedLanguage terminated("A=1\r\nLast=no end\r\n");
    EXPECT_EQ(terminated.language.GetLangString("Last"), "no end");
    // With LF alone the value runs on to the next CR LF.
    LoadedLanguage unixEnds("A=1\nB=2\r\n");
    EXPECT_EQ(unixEnds.language.GetLangString("A"), "1\nB=2");
}

TEST(LoadLanguageFile, ConvertsWindows1252ToUtf8) {
    LoadedLanguage file("K=D\xE9\x63ompression \x80 \x92 \x9C \x81\r\n");
    EXPECT_EQ(file.language.GetLangString("K"), "D\u00E9compression \u20AC \u2019 \u0153 \u0081");
    EXPECT_EQ(windows1252ToUtf8(std::string("\x00\x7F\xA0\xFF", 4)), std::string("\x00\x7F\u00A0\u00FF", 6));
}

TEST(LoadLanguageFile, NameIsMatchedWithoutRegardToCase) {
    TempFolder dir;
    writeBytes(dir / "French.lng", "MainForm_CmdComp=Lancer\r\n");
    Language language;
    language.setLanguageFilePath(dir / "french.lng");
    EXPECT_EQ(language.GetLangString("MainForm_CmdComp"), "Lancer");  // the lookup loads the file first
    EXPECT_FALSE(std::filesystem::exists(dir / "french.lng"));        // no empty twin created
}

TEST(LoadLanguageFile, MissingFileIsCreatedEmptyWhereTheFolderAllows) {
    TempFolder dir;
    Language language;
    language.setLanguageFilePath(dir / "french.lng");
    EXPECT_TRUE(language.LoadLanguageFile());
    EXPECT_TRUE(std::filesystem::is_regular_file(dir / "french.lng"));
    EXPECT_EQ(readBytes(dir / "french.lng"), "");
    EXPECT_EQ(language.GetLangString("Menu_0"), "");

    // An empty text counts as "not loaded": the next lookup reads the file again.
    writeBytes(dir / "french.lng", "Menu_0=Image\r\n");
    EXPECT_EQ(language.GetLangString("Menu_0"), "Image");
}

TEST(LoadLanguageFile, FailureKeepsThePreviousText) {
    LoadedLanguage file("Menu_0=Image\r\n");
    file.language.setLanguageFilePath(file.dir / "no folder" / "English.lng");
    EXPECT_FALSE(file.language.LoadLanguageFile());
    EXPECT_EQ(file.language.GetLangString("Menu_0"), "Image");

    std::filesystem::create_directory(file.dir / "Folder.lng");
    file.language.setLanguageFilePath(file.dir / "Folder.lng");
    EXPECT_FALSE(file.language.LoadLanguageFile());
    EXPECT_EQ(file.language.GetLangString("Menu_0"), "Image");

    Language never;
    never.setLanguageFilePath(file.dir / "no folder" / "x.lng");
    EXPECT_EQ(never.GetLangString("Menu_0"), "");
    EXPECT_EQ(never.languageText(), "");
}
