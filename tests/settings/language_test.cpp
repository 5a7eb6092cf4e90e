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

// One assignment as "key [#item] property=text tip=tooltip", "-" standing for "not set".
std::string describe(const TextAssignment& a) {
    std::string out = a.key + (a.item ? " #" + std::to_string(*a.item) : "");
    out +=
        (a.property == TextProperty::Caption ? " caption=" : " text=") + (a.text ? "'" + *a.text + "'" : "-");
    return out + " tip=" + (a.toolTip ? "'" + *a.toolTip + "'" : "-");
}

}  // namespace

TEST(GetLangString, LookupRulesEscapesAndTheSecondText) {
    LoadedLanguage file(
        "Two=first\\nsecond|third\r\nUpper=a\\Nb\\Tc\\td\r\nBars=one|two|three\r\nEmpty=\r\n"
        "OnlyTip=|the tip\r\nSlash=a\\\\nb\\x\r\nAccents=D\xE9\x63ompression \x80 \x92 \x9C \x81\r\n"
        "Message_10=ten\r\nMainForm_LblTitre=long key\r\nTitre=short key\r\nMessage_1=one\r\n"
        "MainForm_PictMenu_0=\r\nMenu_0=Image\r\nUnix=1\nB=2\r\nLast=no end");
    // clang-format off
    const std::vector<std::array<std::string, 3>> rows = {  // key, text, second text
        {"Two", "first\r\nsecond", "third"}, {"Bars", "one", "two|three"}, {"Empty", "", ""},
        {"Upper", "a\r\nb\tc\td", ""},  // the second text is emptied even without "|"
        {"OnlyTip", "", "the tip"}, {"Slash", "a\\\r\nb\\x", ""}, {"Missing", "", ""},
        {"Accents", "D\u00E9compression \u20AC \u2019 \u0153 \u0081", ""},  // read as Windows-1252
        {"Message_1", "one", ""},   // "=" must follow the key at once
        {"Titre", "long key", ""},  // found inside an earlier line
        {"Menu_0", "", ""},         // hidden by MainForm_PictMenu_0
        {"titre", "", ""},          // case matters
        {"Unix", "1\nB=2", ""},    // LF alone does not end a value
        {"Last", "", ""}};          // no CR LF after it: never found
    // clang-format on
    for (const auto& [key, text, secondText] : rows) {
        std::string second = "stale";
        EXPECT_EQ(file.language.GetLangString(key, second, true), text) << key;
        EXPECT_EQ(second, secondText) << key;
    }
    std::string second = "stale";
    EXPECT_EQ(file.language.GetLangString("Bars", second, false), "one");
    EXPECT_EQ(second, "");  // not wanted: emptied
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
    EXPECT_NE(missing.error().detail.find("German.lng"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir / "German.lng"));
    EXPECT_EQ(fresh.GetLangString("Menu_0"), "Picture");
}

TEST(TranslateForm, EachKindGetsItsPropertiesAndTheTitle) {
    LoadedLanguage file(
        "MainForm_LblTitre_0=Image path|Where the image is\r\nMainForm_LblOpt_0=\r\n"
        "MainForm_TextCheminBMP=|Path of the open image\r\nMainForm_MnuFile=File|not a tooltip\r\n"
        "MainForm_Bar_1=Open|Opens\r\nMainForm_Tabs_1=First\r\nMainForm_Columns_1=Name|ignored\r\n"
        "MainForm_Status_2=Ready\r\n");
    using enum ControlKind;
    // clang-format off
    const std::vector<ControlInfo> controls = {
        {"LblTitre", 0, Other}, {"LblOpt", 0, Other}, {"TextCheminBMP", std::nullopt, TextBox},
        {"MnuFile", std::nullopt, Menu}, {"Bar", std::nullopt, Toolbar, 2}, {"Tabs", std::nullopt, TabStrip, 1},
        {"Columns", std::nullopt, ListView, 1}, {"Status", std::nullopt, StatusBar, 2}, {"CmdComp"}};
    // clang-format on
    const auto result = TranslateForm(file.language, "MainForm", controls);
    ASSERT_TRUE(result.applied);
    EXPECT_EQ(result.title, std::optional<std::string>(""));  // no "MainForm" entry: the title is emptied
    std::vector<std::string> got;
    for (const auto& control : result.controls) {
        for (const auto& assignment : control) {
            got.push_back(describe(assignment));
        }
    }
    EXPECT_EQ(got, (std::vector<std::string>{
                       "MainForm_LblTitre_0 caption='Image path' tip='Where the image is'",
                       "MainForm_LblOpt_0 caption=- tip=''",  // empty entry: caption kept, tooltip cleared
                       "MainForm_TextCheminBMP text=- tip='Path of the open image'",  // content kept
                       "MainForm_MnuFile caption='File' tip=-",
                       "MainForm_Bar_1 #1 caption='Open' tip='Opens'", "MainForm_Bar_2 #2 caption=- tip=''",
                       "MainForm_Tabs_1 #1 caption='First' tip=''",  // no "|": the tab's tooltip is cleared
                       "MainForm_Columns_1 #1 text='Name' tip=-", "MainForm_Status_1 #1 text=- tip=-",
                       "MainForm_Status_2 #2 text='Ready' tip=-",
                       "MainForm_CmdComp caption=- tip=''",  // no entry at all
                   }));

    LoadedLanguage titled("MainForm=Tarvik\r\n");
    EXPECT_EQ(TranslateForm(titled.language, "MainForm", {}).title, std::optional<std::string>("Tarvik"));
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
    // clang-format off
    const std::vector<std::pair<const char*, int>> stored = {{" 3 ", 3}, {"+2", 2}, {"", 1}, {"0", 1}, {"4", 1},
        {"-1", 1}, {"abc", 1}, {"2.5", 1}, {"2x", 1}, {"99999999999999", 1}};  // bad values fall back to 1
    // clang-format on
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
