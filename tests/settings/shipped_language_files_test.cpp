// Checks the language files and flags that ship in data/: encoding, line ends, the same keys as the
// French file, every entry reachable by the first-occurrence lookup, and the flag pictures.

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <sstream>

#include "language_list.h"
#include "test_helpers.h"

using namespace testhelpers;

namespace {

const fs::path DataDir = TARVIK_DATA_DIR;
constexpr std::string_view NoCharacter = "\x81\x8D\x8F\x90\x9D";  // bytes Windows-1252 leaves undefined

// The keys of a language file; a key given twice fails the test.
std::set<std::string> keysOf(const fs::path& file) {
    std::set<std::string> keys;
    std::istringstream lines(readText(file));
    for (std::string line; std::getline(lines, line);) {
        EXPECT_TRUE(keys.insert(line.substr(0, line.find('='))).second) << "repeated: " << line;
    }
    return keys;
}

}  // namespace

TEST(ShippedLanguageFiles, EachIsWindows1252WithCrLfTheFrenchKeysAndAFlag) {
    // Loading a missing file would create it empty in the source tree.
    ASSERT_TRUE(fs::is_regular_file(DataDir / "French.lng") && fs::is_regular_file(DataDir / "English.lng"));
    const auto french = keysOf(DataDir / "French.lng");
    std::size_t count = 0;
    for (const auto& entry : fs::directory_iterator(DataDir)) {
        const auto& file = entry.path();
        if (file.extension() != ".lng") {
            continue;
        }
        ++count;
        SCOPED_TRACE(file.filename().string());
        const auto bytes = readText(file);
        EXPECT_TRUE(bytes.ends_with("\r\n"));
        // Printable Windows-1252 characters only, every line ended by CR LF.
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            const auto byte = static_cast<unsigned char>(bytes[i]);
            const bool lineEnd =
                (byte == '\r' && bytes[i + 1] == '\n') || (byte == '\n' && i > 0 && bytes[i - 1] == '\r');
            const bool printable = byte >= 0x20 && NoCharacter.find(bytes[i]) == std::string_view::npos;
            EXPECT_TRUE(lineEnd || printable) << "byte " << int{byte} << " at " << i;
        }
        std::vector<std::string> difference;
        std::ranges::set_symmetric_difference(keysOf(file), french, std::back_inserter(difference));
        EXPECT_EQ(difference, std::vector<std::string>{}) << "keys not in both this file and French.lng";

        // The lookup takes the first "key=" anywhere; an earlier line ending in the same text would
        // hide the entry (Menu_0 inside MainForm_PictMenu_0, for instance).
        settings::Language language;
        language.setLanguageFilePath(file);
        ASSERT_TRUE(language.LoadLanguageFile());
        for (const auto& key : french) {
            const auto at = language.languageText().find(key + "=");
            EXPECT_TRUE(at == 0 || (at != std::string::npos && language.languageText()[at - 1] == '\n'))
                << key;
        }
        // These have no built-in text to fall back on.
        for (const char* key :
             {"Menu_0", "Menu_1", "Menu_2", "Message_1", "Message_2", "Message_3", "Message_4", "Message_5",
              "Message_6", "Message_7", "Message_8", "FrmTravail", "FrmTravail_CmdAnnuler"}) {
            EXPECT_FALSE(language.GetLangString(key).empty()) << key;
        }

        const auto gif = readText(DataDir / (file.stem().string() + "_flag.gif"));
        ASSERT_GE(gif.size(), 13u);
        EXPECT_TRUE(gif.starts_with("GIF89a") || gif.starts_with("GIF87a"));
        EXPECT_EQ(gif.substr(6, 4), std::string("\x1A\0\x11\0", 4)) << "26 x 17 pixels";
        EXPECT_EQ(gif.back(), ';');
    }
    EXPECT_GE(count, 3u);
    // The data folder itself lists every shipped language, so each flag is found by the program too.
    EXPECT_EQ(settings::BuildLanguageList(DataDir).size(), count);

    // French names every control of the main window, with the indices of control-array elements.
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
        "LbLDossierDecompSauve TextCheminDecompSauve CmdCheminDecompSauve ChkCopie CmdDecomp");
    for (std::string name; controls >> name;) {
        EXPECT_TRUE(french.contains("MainForm_" + name)) << name;
    }
    for (std::size_t i = 0; i <= count; ++i) {  // the template flag and one per language
        EXPECT_TRUE(french.contains("MainForm_PictLangue_" + std::to_string(i))) << i;
    }
    for (const char* key : {"MainForm", "FrmTravail_LblTravail"}) {
        EXPECT_TRUE(french.contains(key)) << key;
    }
}
