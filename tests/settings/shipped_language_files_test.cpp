// Checks the language files and flags that ship in data/: encoding, line ends, completeness against
// the French file, and that every entry is reachable by the first-occurrence lookup.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <sstream>

#include "language.h"
#include "language_list.h"
#include "temp_folder.h"

namespace fs = std::filesystem;
using settings_test::readBytes;

namespace {

const fs::path DataDir = TARVIK_DATA_DIR;

std::vector<fs::path> shippedLanguageFiles() {
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(DataDir)) {
        if (entry.path().extension() == ".lng") {
            files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

// Key -> raw value, in file order; a repeated key is reported through `duplicates`.
std::map<std::string, std::string> entriesOf(const std::string& bytes, std::vector<std::string>& duplicates) {
    std::map<std::string, std::string> entries;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        const auto end = bytes.find("\r\n", pos);
        const auto line = bytes.substr(pos, end - pos);
        const auto equals = line.find('=');
        const auto key = line.substr(0, equals);
        if (!entries.emplace(key, equals == std::string::npos ? "" : line.substr(equals + 1)).second) {
            duplicates.push_back(key);
        }
        pos = end == std::string::npos ? bytes.size() : end + 2;
    }
    return entries;
}

std::uint16_t le16(const std::string& b, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(b[at]) |
                                      static_cast<unsigned char>(b[at + 1]) << 8);
}

}  // namespace

TEST(ShippedLanguageFiles, AtLeastFrenchEnglishAndOneMore) {
    const auto files = shippedLanguageFiles();
    EXPECT_GE(files.size(), 3u);
    EXPECT_TRUE(fs::exists(DataDir / "French.lng"));
    EXPECT_TRUE(fs::exists(DataDir / "English.lng"));
}

TEST(ShippedLanguageFiles, Windows1252WithCrLfOnEveryLine) {
    for (const auto& file : shippedLanguageFiles()) {
        SCOPED_TRACE(file.filename().string());
        const auto bytes = readBytes(file);
        ASSERT_FALSE(bytes.empty());
        EXPECT_TRUE(bytes.ends_with("\r\n"));
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            const auto byte = static_cast<unsigned char>(bytes[i]);
            EXPECT_TRUE(byte != 0x81 && byte != 0x8D && byte != 0x8F && byte != 0x90 && byte != 0x9D)
                << "undefined byte at " << i;
            EXPECT_TRUE(byte >= 0x20 || byte == '\r' || byte == '\n') << "control byte at " << i;
            if (byte == '\r') {
                EXPECT_TRUE(i + 1 < bytes.size() && bytes[i + 1] == '\n') << "lone CR at " << i;
            }
            if (byte == '\n') {
                EXPECT_TRUE(i > 0 && bytes[i - 1] == '\r') << "lone LF at " << i;
            }
        }
    }
}

TEST(ShippedLanguageFiles, SameKeysAsFrenchAndEveryEntryReachable) {
    // Loading a missing file would create it empty in the source tree.
    ASSERT_TRUE(fs::is_regular_file(DataDir / "French.lng"));
    std::vector<std::string> duplicates;
    const auto french = entriesOf(readBytes(DataDir / "French.lng"), duplicates);
    EXPECT_TRUE(duplicates.empty());
    for (const auto& file : shippedLanguageFiles()) {
        SCOPED_TRACE(file.filename().string());
        duplicates.clear();
        const auto entries = entriesOf(readBytes(file), duplicates);
        EXPECT_TRUE(duplicates.empty()) << duplicates.front();
        for (const auto& [key, value] : french) {
            EXPECT_TRUE(entries.contains(key)) << "missing " << key;
        }
        for (const auto& [key, value] : entries) {
            EXPECT_TRUE(french.contains(key)) << "not in French.lng: " << key;
        }
        // The lookup takes the first "key=" anywhere; an earlier line ending in the same text would
        // hide the entry (Menu_0 inside MainForm_PictMenu_0, for instance).
        settings::Language language;
        language.setLanguageFilePath(file);
        ASSERT_TRUE(language.LoadLanguageFile());
        const auto& text = language.languageText();
        for (const auto& [key, value] : entries) {
            const auto at = text.find(key + "=");
            EXPECT_TRUE(at == 0 || (at != std::string::npos && text[at - 1] == '\n')) << key << " is hidden";
        }
        // These have no built-in text to fall back on.
        for (const char* key :
             {"Menu_0", "Menu_1", "Menu_2", "Message_1", "Message_2", "Message_3", "Message_4", "Message_5",
              "Message_6", "Message_7", "Message_8", "FrmTravail", "FrmTravail_CmdAnnuler"}) {
            EXPECT_FALSE(language.GetLangString(key).empty()) << key;
        }
    }
}

TEST(ShippedLanguageFiles, FrenchCoversEveryControl) {
    ASSERT_TRUE(fs::is_regular_file(DataDir / "French.lng"));
    std::vector<std::string> duplicates;
    const auto french = entriesOf(readBytes(DataDir / "French.lng"), duplicates);
    // Every control of the main window, with the indices of control-array elements.
    std::istringstream controls(
        "Line1 Pictversion Lblurl PictMenu_0 PictMenu_1 PictMenu_2 PictBp_0 PictBp_1 PictBp_2 LblTitre_0 "
        "TextCheminBMP CmdOuvrirBMP CmdSaveBMP CmdCompressRL Frame1 LbLTitreInfoBMP LblInfoBmp_0 "
        "LblInfoBmp_1 LblInfoBmp_2 LblInfoBmp_3 LblTailleFichier LbLargeurImg LbHauteurImg LblColorDef "
        "Frame2 LbLTitreInfoIMAGE LblCheckCompress LblChkAlpha Picture1 ChkCompress ChkAlpha "
        "LblNbPixelAlpha LblNbPixelAlpha0 LblNbCouleurs LblNbCouleurs16 TxtNbAlpha TxtNbAlpha0 "
        "TxtNbCouleur TxtNbCouleur16 Frame3 LbLTitreIMAGE Picture4 OptAffichage_0 OptAffichage_1 "
        "OptAffichage_2 LblOpt_0 LblOpt_1 LblOpt_2 LblTitre_1 Frame7 LbLDossierComp TextCheminComp "
        "CmdCheminComp ListComp ChkRepComp LblNbFichiersComp lblOptCompress LbLDossierCompSauve "
        "TextCheminCompSauve CmdCheminCompSauve ChkCopieComp CmdComp LblTitre_2 Frame4 LbLDossierDecomp "
        "TextCheminDecomp CmdCheminDecomp ListDecomp ChkRep LblNbFichiers lblOptDecompress "
        "LbLDossierDecompSauve TextCheminDecompSauve CmdCheminDecompSauve ChkCopie CmdDecomp ");
    std::vector<std::string> required = {"MainForm", "FrmTravail", "FrmTravail_CmdAnnuler",
                                         "FrmTravail_LblTravail"};
    for (std::string name; controls >> name;) {
        required.push_back("MainForm_" + name);
    }
    // The template flag and one flag per shipped language.
    for (std::size_t i = 0; i <= shippedLanguageFiles().size(); ++i) {
        required.push_back("MainForm_PictLangue_" + std::to_string(i));
    }
    for (const auto& key : required) {
        EXPECT_TRUE(french.contains(key)) << "missing " << key;
    }

    // Captions are the window's own French texts.
    settings::Language language;
    language.setLanguageFilePath(DataDir / "French.lng");
    std::string tip;
    EXPECT_EQ(language.GetLangString("MainForm_LblInfoBmp_3"), "D\u00E9finition couleur :");
    EXPECT_EQ(language.GetLangString("MainForm_LbLTitreInfoIMAGE"), " Donn\u00E9es Image ");
    EXPECT_EQ(language.GetLangString("MainForm_CmdDecomp"), "Lancer la D\u00E9compression");
    EXPECT_EQ(language.GetLangString("MainForm_LblChkAlpha", tip, true), "Canal Alpha Utilis\u00E9");
    EXPECT_EQ(tip, "D\u00E9clare d'utilisation de zone totalement ou partiellement transparentes");
    language.GetLangString("MainForm_PictLangue_0", tip, true);
    EXPECT_EQ(tip, "Cliquer sur le drapeau pour s\u00E9lectionner le language");
}

TEST(ShippedLanguageFiles, EachHasItsFlagOf26By17) {
    // The data folder itself must list every shipped language (each has its flag).
    EXPECT_EQ(settings::BuildLanguageList(DataDir).size(), shippedLanguageFiles().size());
    for (const auto& file : shippedLanguageFiles()) {
        const auto flag = DataDir / (file.stem().string() + "_flag.gif");
        SCOPED_TRACE(flag.filename().string());
        ASSERT_TRUE(fs::is_regular_file(flag));
        const auto gif = readBytes(flag);
        ASSERT_GE(gif.size(), 13u + 10u + 1u);
        EXPECT_TRUE(gif.starts_with("GIF89a") || gif.starts_with("GIF87a"));
        EXPECT_EQ(le16(gif, 6), 26);
        EXPECT_EQ(le16(gif, 8), 17);
        // Our flags hold one image right after the colour table, covering the whole picture.
        std::size_t pos = 13;
        if (static_cast<unsigned char>(gif[10]) & 0x80) {
            pos += 3u * (2u << (gif[10] & 7));
        }
        ASSERT_LE(pos + 10, gif.size());
        EXPECT_EQ(gif[pos], ',');
        EXPECT_EQ(le16(gif, pos + 5), 26);
        EXPECT_EQ(le16(gif, pos + 7), 17);
        EXPECT_EQ(gif.back(), ';');
    }
}
