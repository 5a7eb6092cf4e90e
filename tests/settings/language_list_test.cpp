#include "language_list.h"

#include <gtest/gtest.h>

#include "program_settings.h"
#include "temp_folder.h"

using namespace settings;
using settings_test::readBytes;
using settings_test::TempFolder;
using settings_test::writeBytes;

namespace {

std::vector<std::string> names(const std::vector<LanguageEntry>& list) {
    std::vector<std::string> out;
    for (const auto& entry : list) {
        out.push_back(entry.name);
    }
    return out;
}

void makeLanguage(const TempFolder& dir, const std::string& lng, const std::string& flag,
                  const std::string& text) {
    writeBytes(dir / lng, text);
    if (!flag.empty()) {
        writeBytes(dir / flag, "GIF89a");
    }
}

}  // namespace

TEST(BuildLanguageList, FrenchFirstThenFlaggedFilesInWindowsOrder) {
    TempFolder dir;
    makeLanguage(dir, "French.lng", "French_flag.gif", "Menu_0=Image\r\n");
    makeLanguage(dir, "English.lng", "English_flag.gif", "Menu_0=Picture\r\n");
    makeLanguage(dir, "Deutsch.lng", "", "");                      // no flag: left out
    makeLanguage(dir, "OldFrench.lng", "OldFrench_flag.gif", "");  // contains "french.lng": never listed
    makeLanguage(dir, "zulu.lng", "ZULU_FLAG.GIF", "");            // flag found whatever its case
    makeLanguage(dir, "Ab.LNG", "Ab_flag.gif", "");                // extension in capitals
    makeLanguage(dir, "A_b.lng", "A_b_flag.gif", "");  // Windows compares upper case: "AB" < "A_B"
    makeLanguage(dir, "beta.lng", "beta_flag.gif", "");
    makeLanguage(dir, "notes.txt", "notes_flag.gif", "");
    std::filesystem::create_directory(dir / "Folder.lng");
    writeBytes(dir / "Folder_flag.gif", "GIF89a");

    const auto list = BuildLanguageList(dir.path());
    EXPECT_EQ(names(list), (std::vector<std::string>{"French", "Ab", "A_b", "beta", "English", "zulu"}));
    EXPECT_EQ(list[0].file, dir / "French.lng");
    EXPECT_EQ(list[0].flag, dir / "French_flag.gif");
    EXPECT_EQ(list[5].file, dir / "zulu.lng");
    EXPECT_EQ(list[5].flag, dir / "ZULU_FLAG.GIF");
}

TEST(BuildLanguageList, FrenchIsListedEvenWithoutFileOrFlag) {
    TempFolder dir;
    makeLanguage(dir, "English.lng", "English_flag.gif", "");
    auto list = BuildLanguageList(dir.path());
    ASSERT_EQ(names(list), (std::vector<std::string>{"French", "English"}));
    EXPECT_EQ(list[0].file, dir / "French.lng");
    EXPECT_FALSE(list[0].flag.has_value());

    // The start-up load leaves an empty "french.lng"; the list then points at that file.
    Language language;
    language.setLanguageFilePath(startupLanguageFilePath(dir.path()));
    EXPECT_TRUE(language.LoadLanguageFile());
    list = BuildLanguageList(dir.path());
    EXPECT_EQ(list[0].file, dir / "french.lng");
    EXPECT_EQ(names(list).size(), 2u);  // "french.lng" itself is not listed a second time
}

TEST(LanguageNumber, BadStoredValuesFallBackToOne) {
    EXPECT_EQ(languageNumberFromSetting("2", 3), 2);
    EXPECT_EQ(languageNumberFromSetting(" 3 ", 3), 3);
    EXPECT_EQ(languageNumberFromSetting("+2", 3), 2);
    for (const char* bad : {"", "0", "4", "-1", "abc", "2.5", "2x", "99999999999999"}) {
        EXPECT_EQ(languageNumberFromSetting(bad, 3), 1) << bad;
    }
}

TEST(FlagPlacement, RowOfFlagsWithTheActiveOneRaised) {
    const auto first = flagPlacement(1, false);
    EXPECT_EQ(first.left, 70);
    EXPECT_EQ(first.top, 6320);
    EXPECT_EQ(first.width, 390);
    EXPECT_EQ(first.height, 255);
    EXPECT_FALSE(first.framed);
    const auto second = flagPlacement(2, true);
    EXPECT_EQ(second.left, 70 + 390 + 120);
    EXPECT_EQ(second.top, 6280);
    EXPECT_TRUE(second.framed);
    EXPECT_EQ(flagPlacement(0, false).left, -440);
    EXPECT_EQ(flagPlacement(0, false).top, 6120);
}

TEST(LanguageBar, StartsWithTheStoredLanguageAndSwitchesOnAClick) {
    TempFolder dir;
    makeLanguage(dir, "French.lng", "French_flag.gif",
                 "Menu_0=Image\r\nMenu_1=Compression\r\nMenu_2=D\xE9\x63ompression\r\n");
    makeLanguage(dir, "English.lng", "English_flag.gif", "Menu_0=Picture\r\nMenu_1=Compress\r\n");
    makeLanguage(dir, "German.lng", "German_flag.gif", "Menu_0=Bild\r\n");

    Language language;
    LanguageBar bar(dir.path());
    EXPECT_EQ(bar.start(language), 1);  // no settings file yet
    EXPECT_EQ(language.menuTitle(0), "Image");
    EXPECT_FALSE(std::filesystem::exists(settingsFilePath(dir.path())));  // nothing written at start-up

    const auto change = bar.switchTo(2, language);
    ASSERT_TRUE(change.has_value());
    EXPECT_EQ(change->lowered, 1);
    EXPECT_EQ(change->raised, 2);
    EXPECT_EQ(change->tabTitles, (std::array<std::string, 3>{"Picture", "Compress", ""}));
    EXPECT_EQ(bar.activeNumber(), 2);
    EXPECT_EQ(readSetting(dir.path(), LanguageKey, "1"), "2");

    EXPECT_FALSE(bar.switchTo(4, language).has_value());
    EXPECT_FALSE(bar.switchTo(0, language).has_value());
    EXPECT_EQ(readSetting(dir.path(), LanguageKey, "1"), "2");

    // The next start shows language 2.
    Language again;
    LanguageBar next(dir.path());
    EXPECT_EQ(next.start(again), 2);
    EXPECT_EQ(again.menuTitle(0), "Picture");

    // A stored number that no longer fits (a language removed) falls back to French.
    writeSetting(dir.path(), LanguageKey, 7);
    LanguageBar fallback(dir.path());
    EXPECT_EQ(fallback.start(again), 1);
    EXPECT_EQ(again.menuTitle(2), "D\u00E9compression");
}
