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
    ASSERT_EQ(result.controls.size(), controls.size());

    const auto& label = result.controls[0].at(0);
    EXPECT_EQ(label.key, "MainForm_LblTitre_0");
    EXPECT_FALSE(label.item.has_value());
    EXPECT_EQ(label.property, TextProperty::Caption);
    EXPECT_EQ(label.text, std::optional<std::string>("Image path"));
    EXPECT_EQ(label.toolTip, std::optional<std::string>("Where the image is"));

    const auto& emptyEntry = result.controls[1].at(0);  // keeps its caption, loses its tooltip
    EXPECT_FALSE(emptyEntry.text.has_value());
    EXPECT_EQ(emptyEntry.toolTip, std::optional<std::string>(""));

    const auto& textBox = result.controls[2].at(0);
    EXPECT_EQ(textBox.property, TextProperty::Text);
    EXPECT_FALSE(textBox.text.has_value());  // the box keeps its content
    EXPECT_EQ(textBox.toolTip, std::optional<std::string>("Path of the open image"));

    const auto& menu = result.controls[3].at(0);
    EXPECT_EQ(menu.text, std::optional<std::string>("File"));
    EXPECT_FALSE(menu.toolTip.has_value());

    const auto& toolbar = result.controls[4];
    ASSERT_EQ(toolbar.size(), 2u);
    EXPECT_EQ(toolbar[0].key, "MainForm_Bar_1");
    EXPECT_EQ(toolbar[0].item, std::optional<int>(1));
    EXPECT_EQ(toolbar[0].text, std::optional<std::string>("Open"));
    EXPECT_EQ(toolbar[0].toolTip, std::optional<std::string>("Opens"));
    EXPECT_EQ(toolbar[1].key, "MainForm_Bar_2");
    EXPECT_FALSE(toolbar[1].text.has_value());
    EXPECT_EQ(toolbar[1].toolTip, std::optional<std::string>(""));

    const auto& tab = result.controls[5].at(0);
    EXPECT_EQ(tab.text, std::optional<std::string>("First"));
    EXPECT_EQ(tab.toolTip, std::optional<std::string>(""));  // no "|": the tab's tooltip is cleared

    const auto& column = result.controls[6].at(0);
    EXPECT_EQ(column.property, TextProperty::Text);
    EXPECT_EQ(column.text, std::optional<std::string>("Name"));
    EXPECT_FALSE(column.toolTip.has_value());

    const auto& panels = result.controls[7];
    ASSERT_EQ(panels.size(), 2u);
    EXPECT_FALSE(panels[0].text.has_value());
    EXPECT_EQ(panels[1].text, std::optional<std::string>("Ready"));
    EXPECT_FALSE(panels[1].toolTip.has_value());

    const auto& missing = result.controls[8].at(0);  // no entry at all: caption kept, tooltip cleared
    EXPECT_FALSE(missing.text.has_value());
    EXPECT_EQ(missing.toolTip, std::optional<std::string>(""));
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
