#include <gtest/gtest.h>

#include "language.h"
#include "language_list.h"
#include "program_settings.h"
#include "test_helpers.h"
#include "translation.h"
#include "windows1252.h"

using namespace settings;
using namespace testhelpers;

namespace {

// A language read from a file holding exactly `bytes`.
struct LoadedLanguage {
    TempDir dir;
    Language language;
    explicit LoadedLanguage(const std::string& bytes) {
        writeFile(dir / "Test.lng", bytes);
        language.setLanguageFilePath(dir / "Test.lng");
        EXPECT_TRUE(language.LoadLanguageFile());
    }
};

// One assignment as "key property=text tip=tooltip", "-" standing for "not set".
std::string describe(const TextAssignment& a) {
    return a.key + (a.property == TextProperty::Caption ? " caption=" : " text=") +
           (a.text ? "'" + *a.text + "'" : "-") + " tip='" + a.toolTip + "'";
}

// One file holding every lookup rule's case; each row looks one key up in it.
Language& sampleLanguage() {
    static LoadedLanguage file(
        "Two=first\\nsecond|third\r\nUpper=a\\Nb\\Tc\\td\r\nBars=one|two|three\r\nEmpty=\r\n"
        "OnlyTip=|the tip\r\nSlash=a\\\\nb\\x\r\nAccents=D\xE9\x63ompression \x80 \x92 \x9C \x81\r\n"
        "Message_10=ten\r\nMainForm_LblTitre=long key\r\nTitre=short key\r\nMessage_1=one\r\n"
        "MainForm_PictMenu_0=\r\nMenu_0=Image\r\nUnix=1\nB=2\r\nLast=no end");
    return file.language;
}

struct LookupRow {
    const char* name;
    const char* key;
    std::string text, secondText;
};

class GetLangStringRow : public testing::TestWithParam<LookupRow> {};

}  // namespace

TEST_P(GetLangStringRow, GivesTheMainAndTheSecondText) {
    const LookupRow& row = GetParam();
    std::string second = "stale";
    EXPECT_EQ(sampleLanguage().GetLangString(row.key, second, true), row.text);
    EXPECT_EQ(second, row.secondText);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(GetLangString, GetLangStringRow, testing::Values(
    LookupRow{"EscapesAndTheFirstBarSplitTheTexts", "Two", "first\r\nsecond", "third"},
    LookupRow{"OnlyTheFirstBarSplits", "Bars", "one", "two|three"},
    LookupRow{"EmptyEntryGivesNothing", "Empty", "", ""},
    LookupRow{"CapitalEscapesTooAndNoBarEmptiesTheSecond", "Upper", "a\r\nb\tc\td", ""},
    LookupRow{"OnlyATooltip", "OnlyTip", "", "the tip"},
    LookupRow{"ABackslashIsNoEscapeOfItsOwn", "Slash", "a\\\r\nb\\x", ""},
    LookupRow{"MissingKey", "Missing", "", ""},
    LookupRow{"ReadAsWindows1252", "Accents", "D\u00E9compression \u20AC \u2019 \u0153 \u0081", ""},
    LookupRow{"EqualsMustFollowTheKeyAtOnce", "Message_1", "one", ""},
    LookupRow{"FoundInsideAnEarlierLine", "Titre", "long key", ""},
    LookupRow{"HiddenByALongerKeyEndingLikeIt", "Menu_0", "", ""},
    LookupRow{"CaseMatters", "titre", "", ""},
    LookupRow{"LineFeedAloneDoesNotEndAValue", "Unix", "1\nB=2", ""},
    LookupRow{"NeverFoundWithoutAFinalLineEnd", "Last", "", ""}),
    [](const testing::TestParamInfo<LookupRow>& info) { return std::string(info.param.name); });
// clang-format on

TEST(GetLangString, TheSecondTextIsEmptiedWhenNotWanted) {
    std::string second = "stale";
    EXPECT_EQ(sampleLanguage().GetLangString("Bars", second, false), "one");
    EXPECT_EQ(second, "");
    EXPECT_EQ(windows1252ToUtf8(std::string("\x00\x7F\xA0\xFF", 4)), std::string("\x00\x7F\u00A0\u00FF", 6));
}

TEST(LoadLanguageFile, FindsTheFileWhateverTheCaseOfItsName) {
    TempDir dir;
    writeFile(dir / "French.lng", "Menu_0=Image\r\n");
    Language language;
    language.setLanguageFilePath(dir / "french.lng");
    EXPECT_EQ(language.GetLangString("Menu_0"), "Image");  // the lookup loads the file first
    EXPECT_FALSE(fs::exists(dir / "french.lng"));          // no empty twin created
}

TEST(LoadLanguageFile, AFailedLoadKeepsTheTextThereWasAndSaysWhy) {
    TempDir dir;
    writeFile(dir / "French.lng", "Menu_0=Image\r\n");
    Language language;
    language.setLanguageFilePath(dir / "French.lng");
    ASSERT_TRUE(language.LoadLanguageFile());
    fs::create_directory(dir / "Folder.lng");
    for (const auto& unreadable : {dir / "no folder" / "English.lng", dir / "Folder.lng"}) {
        language.setLanguageFilePath(unreadable);
        const auto loaded = language.LoadLanguageFile();
        ASSERT_FALSE(loaded) << unreadable;
        EXPECT_EQ(loaded.error().code, tarvik::ErrorCode::Io) << unreadable;
        EXPECT_EQ(language.GetLangString("Menu_0"), "Image") << unreadable;
    }
}

TEST(LoadLanguageFile, AMissingFileIsCreatedEmptyAndReadAgainOnceFilled) {
    TempDir dir;
    Language fresh;
    fresh.setLanguageFilePath(dir / "new.lng");
    EXPECT_TRUE(fresh.LoadLanguageFile());
    EXPECT_TRUE(fs::is_regular_file(dir / "new.lng"));
    EXPECT_EQ(fresh.GetLangString("Menu_0"), "");
    // An empty text counts as "not loaded": the next lookup reads the file again.
    writeFile(dir / "new.lng", "Menu_0=Picture\r\n");
    EXPECT_EQ(fresh.GetLangString("Menu_0"), "Picture");

    // An installed copy's folder is the package's: a missing file is reported and not created.
    fresh.setCreatesMissingFile(false);
    fresh.setLanguageFilePath(dir / "German.lng");
    const auto missing = fresh.LoadLanguageFile();
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error().detail, "no such language file");
    EXPECT_FALSE(fs::exists(dir / "German.lng"));
    EXPECT_EQ(fresh.GetLangString("Menu_0"), "Picture");
}

TEST(TranslateForm, TextBoxesTakeTheirTextOthersTheirCaptionAllTheirTooltip) {
    LoadedLanguage file(
        "MainForm_LblTitre_0=Image path|Where the image is\r\nMainForm_LblOpt_0=\r\n"
        "MainForm_TextCheminBMP=typed|Path of the open image\r\nMainForm_Bar_1=Open|Opens\r\n");
    const std::vector<ControlInfo> controls = {{"LblTitre", 0},
                                               {"LblOpt", 0},
                                               {"TextCheminBMP", std::nullopt, ControlKind::TextBox},
                                               {"CmdComp"}};
    const auto result = TranslateForm(file.language, "MainForm", controls);
    ASSERT_TRUE(result.applied);
    EXPECT_EQ(result.title, std::optional<std::string>(""));  // no "MainForm" entry: the title is emptied
    std::vector<std::string> got;
    for (const auto& assignment : result.controls) {
        got.push_back(describe(assignment));
    }
    EXPECT_EQ(got, (std::vector<std::string>{
                       "MainForm_LblTitre_0 caption='Image path' tip='Where the image is'",
                       "MainForm_LblOpt_0 caption=- tip=''",  // empty entry: caption kept, tooltip cleared
                       "MainForm_TextCheminBMP text='typed' tip='Path of the open image'",
                       "MainForm_CmdComp caption=- tip=''",  // no entry at all; "MainForm_Bar_1" is never used
                   }));

    LoadedLanguage titled("MainForm=Tarvik\r\n");
    EXPECT_EQ(TranslateForm(titled.language, "MainForm", {}).title, std::optional<std::string>("Tarvik"));
    EXPECT_EQ(controlKey("", {"LblTitre", 2}), "LblTitre_2");  // without a window name, no prefix
    Language none;  // no language can be loaded: nothing is applied
    none.setLanguageFilePath(file.dir / "missing folder" / "french.lng");
    const auto nothing = TranslateForm(none, "MainForm", controls);
    EXPECT_FALSE(nothing.applied || nothing.title || !nothing.controls.empty());
}

TEST(BuildLanguageList, FrenchFirstThenFlaggedFilesInWindowsOrder) {
    TempDir dir;
    for (const char* name : {"French.lng", "French_flag.gif", "English.lng", "English_flag.gif",
                             "Deutsch.lng",                          // no flag: left out
                             "OldFrench.lng", "OldFrench_flag.gif",  // contains "french.lng": never listed
                             "zulu.lng", "ZULU_FLAG.GIF",            // flag found whatever its case
                             "Ab.LNG", "Ab_flag.gif",                // extension in capitals
                             "A_b.lng", "A_b_flag.gif",              // compared in upper case: "AB" < "A_B"
                             "beta.lng", "beta_flag.gif", "notes.txt", "notes_flag.gif", "Folder_flag.gif"}) {
        writeFile(dir / name, "");
    }
    fs::create_directory(dir / "Folder.lng");
    std::vector<std::string> listed;
    for (const auto& entry : BuildLanguageList(dir.path)) {
        listed.push_back(entry.name + " " + entry.file.filename().string() + " " +
                         (entry.flag ? entry.flag->filename().string() : "-"));
    }
    EXPECT_EQ(listed, (std::vector<std::string>{"French French.lng French_flag.gif", "Ab Ab.LNG Ab_flag.gif",
                                                "A_b A_b.lng A_b_flag.gif", "beta beta.lng beta_flag.gif",
                                                "English English.lng English_flag.gif",
                                                "zulu zulu.lng ZULU_FLAG.GIF"}));

    // Without "French.lng" French is still first, pointing at the empty "french.lng" start-up leaves.
    fs::remove(dir / "French.lng");
    fs::remove(dir / "French_flag.gif");
    Language language;
    language.setLanguageFilePath(startupLanguageFilePath(dir.path));
    EXPECT_TRUE(language.LoadLanguageFile());
    const auto list = BuildLanguageList(dir.path);
    ASSERT_EQ(list.size(), 6u);
    EXPECT_EQ(list[0].file, dir / "french.lng");
    EXPECT_FALSE(list[0].flag.has_value());
}

TEST(LanguageBar, StoredNumberAndSwitching) {
    // Bad values fall back to 1.
    const std::vector<std::pair<const char*, int>> stored = {
        {" 3 ", 3}, {"+2", 2}, {"", 1}, {"0", 1}, {"4", 1}, {"2x", 1}, {"99999999999999", 1}};
    for (const auto& [text, number] : stored) {
        EXPECT_EQ(languageNumberFromSetting(text, 3), number) << text;
    }

    TempDir dir;
    writeFile(dir / "French.lng", "Menu_0=Image\r\nMenu_1=Compression\r\nMenu_2=D\xE9\x63ompression\r\n");
    writeFile(dir / "English.lng", "Menu_0=Picture\r\nMenu_1=Compress\r\n");
    writeFile(dir / "German.lng", "Menu_0=Bild\r\n");
    for (const char* flag : {"French_flag.gif", "English_flag.gif", "German_flag.gif"}) {
        writeFile(dir / flag, "");
    }
    Language language;
    LanguageBar bar(dir.path);
    EXPECT_EQ(bar.start(language).active, 1);
    EXPECT_EQ(language.menuTitle(0), "Image");
    EXPECT_FALSE(fs::exists(settingsFilePath(dir.path)));  // nothing written at start-up

    const auto change = bar.switchTo(2, language);
    ASSERT_TRUE(change.has_value());
    EXPECT_TRUE(change->lowered == 1 && change->raised == 2 && bar.activeNumber() == 2);
    EXPECT_EQ(change->tabTitles, (std::array<std::string, 3>{"Picture", "Compress", ""}));
    EXPECT_FALSE(bar.switchTo(4, language).has_value());
    EXPECT_FALSE(bar.switchTo(0, language).has_value());
    EXPECT_EQ(readSetting(dir.path, LanguageKey, "1"), "2");

    Language again;
    EXPECT_EQ(LanguageBar(dir.path).start(again).active, 2);  // the next start shows language 2
    EXPECT_EQ(again.menuTitle(0), "Picture");
    ASSERT_TRUE(writeSetting(dir.path, LanguageKey, 7));  // a language removed since: back to French
    EXPECT_EQ(LanguageBar(dir.path).start(again).active, 1);
    EXPECT_EQ(again.menuTitle(2), "D\u00E9compression");
    EXPECT_TRUE(change->warnings.empty());

    // A choice that cannot be stored still switches, and says which file refused and why.
    fs::remove(settingsFilePath(dir.path));
    fs::create_directory(settingsFilePath(dir.path));
    const auto unstored = bar.switchTo(1, language);
    ASSERT_TRUE(unstored.has_value());
    EXPECT_EQ(bar.activeNumber(), 1);
    EXPECT_EQ(language.menuTitle(0), "Image");
    ASSERT_EQ(unstored->warnings.size(), 1u);
    EXPECT_NE(unstored->warnings[0].find("Language"), std::string::npos);
    EXPECT_NE(unstored->warnings[0].find(settingsFilePath(dir.path).string()), std::string::npos);
}
