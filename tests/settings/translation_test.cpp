#include "translation.h"

#include <gtest/gtest.h>

#include "temp_folder.h"

using namespace settings;
using settings_test::TempFolder;
using settings_test::writeBytes;

namespace {

struct Fixture {
    TempFolder dir;
    Language language;
    explicit Fixture(const std::string& bytes) {
        writeBytes(dir / "Test.lng", bytes);
        language.setLanguageFilePath(dir / "Test.lng");
    }
};

}  // namespace

TEST(ControlKey, WindowNameControlNameAndIndex) {
    EXPECT_EQ(controlKey("MainForm", {"CmdComp"}), "MainForm_CmdComp");
    EXPECT_EQ(controlKey("MainForm", {"LblInfoBmp", 2}), "MainForm_LblInfoBmp_2");
    EXPECT_EQ(controlKey("MainForm", {"PictLangue", 0}), "MainForm_PictLangue_0");
    EXPECT_EQ(controlKey("", {"CmdAnnuler"}), "CmdAnnuler");
}

namespace {

// One assignment as "key [item] property=text tip=tooltip", "-" standing for "not set".
std::string describe(const TextAssignment& a) {
    std::string out = a.key;
    if (a.item) {
        out += " #" + std::to_string(*a.item);
    }
    out += a.property == TextProperty::Caption ? " caption=" : " text=";
    out += a.text ? "'" + *a.text + "'" : "-";
    out += " tip=" + (a.toolTip ? "'" + *a.toolTip + "'" : std::string("-"));
    return out;
}

}  // namespace

TEST(TranslateForm, EachKindGetsItsProperties) {
    Fixture f(
        "MainForm_LblTitre_0=Image path|Where the image is\r\n"
        "MainForm_LblOpt_0=\r\n"
        "MainForm_TextCheminBMP=|Path of the open image\r\n"
        "MainForm_MnuFile=File|not a tooltip\r\n"
        "MainForm_Bar_1=Open|Opens\r\n"
        "MainForm_Tabs_1=First\r\n"
        "MainForm_Columns_1=Name|ignored\r\n"
        "MainForm_Status_2=Ready\r\n");
    const std::vector<ControlInfo> controls = {
        {"LblTitre", 0, ControlKind::Other},
        {"LblOpt", 0, ControlKind::Other},
        {"TextCheminBMP", std::nullopt, ControlKind::TextBox},
        {"MnuFile", std::nullopt, ControlKind::Menu},
        {"Bar", std::nullopt, ControlKind::Toolbar, 2},
        {"Tabs", std::nullopt, ControlKind::TabStrip, 1},
        {"Columns", std::nullopt, ControlKind::ListView, 1},
        {"Status", std::nullopt, ControlKind::StatusBar, 2},
        {"CmdComp", std::nullopt, ControlKind::Other},
    };
    const auto result = TranslateForm(f.language, "MainForm", controls);
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
}

TEST(TranslateForm, WindowTitleAndNoWindow) {
    Fixture f("FrmTravail=Working\r\nFrmTravail_CmdAnnuler=Cancel\r\nCmdAnnuler=Bare\r\n");
    // Without a prefix the bare key is looked up, and the first "CmdAnnuler=" is inside the prefixed line.
    const std::vector<ControlInfo> controls = {{"CmdAnnuler"}};
    const auto withWindow = TranslateForm(f.language, "FrmTravail", controls);
    EXPECT_EQ(withWindow.title, std::optional<std::string>("Working"));
    EXPECT_EQ(withWindow.controls[0][0].text, std::optional<std::string>("Cancel"));

    const auto withoutWindow = TranslateForm(f.language, "", controls);
    EXPECT_FALSE(withoutWindow.title.has_value());
    EXPECT_EQ(withoutWindow.controls[0][0].key, "CmdAnnuler");
    EXPECT_EQ(withoutWindow.controls[0][0].text, std::optional<std::string>("Cancel"));
}

TEST(TranslateForm, NothingAppliedWhenNoLanguageCanBeLoaded) {
    TempFolder dir;
    Language language;
    language.setLanguageFilePath(dir / "missing folder" / "french.lng");
    const std::vector<ControlInfo> controls = {{"CmdComp"}};
    const auto result = TranslateForm(language, "MainForm", controls);
    EXPECT_FALSE(result.applied);
    EXPECT_FALSE(result.title.has_value());
    EXPECT_TRUE(result.controls.empty());
}
