// Where a copy finds its data and keeps its settings: portable beside the executable, installed under the
// prefix with settings in the user's configuration folder, and TARVIKBMP_HOME over both.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "program_settings.h"
#include "test_helpers.h"

using namespace settings;
using namespace testhelpers;

namespace {

std::map<std::string, std::string> g_environment;

const char* fakeEnvironment(const char* name) {
    const auto found = g_environment.find(name);
    return found == g_environment.end() ? nullptr : found->second.c_str();
}

// A prefix laid out as an install leaves it: bin/, libexec/tarvikbmp/, share/tarvikbmp/ with the data.
struct Prefix {
    TempDir dir;
    fs::path bin = dir / "usr/bin";
    fs::path window = dir / "usr/libexec/tarvikbmp";
    fs::path data = dir / "usr/share/tarvikbmp";
    Prefix() {
        fs::create_directories(bin);
        fs::create_directories(window);
        writeFile(data / "French.lng", "Menu_0=Image\r\n");
    }
};

}  // namespace

TEST(ProgramLocations, InstalledPortableAndOverridden) {
    const Prefix prefix;
    g_environment = {{"HOME", "/home/ann"}};

    // Installed: data under share/ from either executable's folder, settings in ~/.config/tarvikbmp.
    for (const fs::path& executableFolder : {prefix.bin, prefix.window}) {
        const ProgramLocations where = locateProgram(executableFolder, fakeEnvironment);
        EXPECT_TRUE(where.installed);
        EXPECT_EQ(where.dataFolder, prefix.data) << executableFolder;
        EXPECT_EQ(where.settingsFolder, fs::path("/home/ann/.config/tarvikbmp"));
    }
    g_environment["XDG_CONFIG_HOME"] = "/xdg/config";
    EXPECT_EQ(locateProgram(prefix.bin, fakeEnvironment).settingsFolder, fs::path("/xdg/config/tarvikbmp"));
    // The XDG rules ignore a relative path; an empty one counts as unset.
    for (const char* ignored : {"relative/config", ""}) {
        g_environment["XDG_CONFIG_HOME"] = ignored;
        EXPECT_EQ(locateProgram(prefix.bin, fakeEnvironment).settingsFolder,
                  fs::path("/home/ann/.config/tarvikbmp"));
    }

    // Portable: any language file beside the executable, whatever the case of its extension.
    writeFile(prefix.bin / "Custom.LNG", "");
    ProgramLocations where = locateProgram(prefix.bin, fakeEnvironment);
    EXPECT_FALSE(where.installed);
    EXPECT_EQ(where.dataFolder, prefix.bin);
    EXPECT_EQ(where.settingsFolder, prefix.bin);
    // A folder named like a language file does not make a copy portable.
    fs::create_directory(prefix.window / "old.lng");
    EXPECT_TRUE(locateProgram(prefix.window, fakeEnvironment).installed);

    // TARVIKBMP_HOME wins over both; empty counts as unset.
    g_environment["TARVIKBMP_HOME"] = "/somewhere/else";
    for (const fs::path& executableFolder : {prefix.bin, prefix.window}) {
        where = locateProgram(executableFolder, fakeEnvironment);
        EXPECT_EQ(where.dataFolder, fs::path("/somewhere/else"));
        EXPECT_EQ(where.settingsFolder, fs::path("/somewhere/else"));
    }
    g_environment["TARVIKBMP_HOME"] = "";
    EXPECT_EQ(locateProgram(prefix.window, fakeEnvironment).dataFolder, prefix.data);

    // Without HOME the user's home comes from the account database.
    g_environment = {};
    EXPECT_EQ(locateProgram(prefix.window, fakeEnvironment).settingsFolder.filename(), "tarvikbmp");
    EXPECT_EQ(locateProgram(prefix.window, fakeEnvironment).settingsFolder.parent_path().filename(), ".config");
}

TEST(ProgramLocations, TheFirstSettingCreatesTheSettingsFolder) {
    const TempDir dir;
    const fs::path settingsFolder = dir / "config/tarvikbmp";
    EXPECT_TRUE(writeSetting(settingsFolder, LanguageKey, 2));
    EXPECT_EQ(readSetting(settingsFolder, LanguageKey, "1"), "2");
    EXPECT_EQ(readText(settingsFolder / "TarvikBMP.ini"), "[GENERAL]\r\nLanguage=2\r\n");

    // A folder that cannot be made gives the reason and leaves nothing behind.
    writeFile(dir / "file", "x");
    const auto refused = writeSetting(dir / "file/tarvikbmp", LanguageKey, 2);
    ASSERT_FALSE(refused);
    // The reason is bare; the message the window prints names the key and the settings file once.
    EXPECT_EQ(settingNotStoredText(dir / "file/tarvikbmp", LanguageKey, refused.error()),
              "cannot store Language in " + (dir / "file/tarvikbmp/TarvikBMP.ini").string() +
                  ": cannot create its folder: Not a directory");
    EXPECT_EQ(readText(dir / "file"), "x");
}
