#pragma once

// Where the program keeps its settings, and the names of what it stores there.

#include <filesystem>
#include <string>
#include <string_view>

#include "result.h"

namespace settings {

inline constexpr std::string_view SettingsFileName = "TarvikBMP.ini";
inline constexpr std::string_view GeneralSection = "GENERAL";
inline constexpr std::string_view LanguageKey = "Language";
// Names one folder for the settings, the language files and the flags, whatever the mode (tests, packaging).
inline constexpr const char* ProgramFolderVariable = "TARVIKBMP_HOME";
// The folder, below $XDG_CONFIG_HOME (default ~/.config), that holds the settings of an installed copy.
inline constexpr std::string_view ConfigFolderName = "tarvikbmp";

// The folders remembered between runs, numbered as their keys "Folder1" to "Folder7".
enum class Folder {
    OpenedImage = 1,       // last image opened on the image tab
    SavedBitmap = 2,       // last file saved as a Windows bitmap
    SavedCompressed = 3,   // last file saved in the RL format
    CompressSource = 4,    // batch compression: source folder
    DecompressSource = 5,  // batch decompression: source folder
    CompressBackup = 6,    // batch compression: backup folder
    DecompressBackup = 7,  // batch decompression: backup folder
};

// "Folder1" .. "Folder7".
std::string folderKey(Folder folder);

// Where a copy of the program finds its language files and flags and keeps its settings file.
struct ProgramLocations {
    std::filesystem::path dataFolder;      // language files and flags
    std::filesystem::path settingsFolder;  // TarvikBMP.ini; also what tells one running window from another
    bool installed = false;
};

// Reads one environment variable; nullptr when it is not set.
using EnvironmentLookup = const char* (*)(const char*);

// A portable copy (the build folder, an unpacked archive) keeps everything beside its executable, and is
// recognised by the language files there. An installed copy reads its data from the install's share folder
// and keeps its settings in $XDG_CONFIG_HOME/tarvikbmp (~/.config/tarvikbmp when that is unset or not an
// absolute path, as the XDG rules ask). A non-empty $TARVIKBMP_HOME overrides both.
ProgramLocations locateProgram(const std::filesystem::path& executableFolder, EnvironmentLookup environment);
// The same for the running executable and the real environment.
ProgramLocations programLocations();

// "TarvikBMP.ini" in the given program folder. Built afresh by every caller, never cached.
std::filesystem::path settingsFilePath(const std::filesystem::path& programDir);

// ReadIniValue / WriteIniValue on section "GENERAL" of the settings file in `programDir` (the settings
// folder). A write creates the folder first when it does not exist yet, as on an installed copy's first run.
std::string readSetting(const std::filesystem::path& programDir, std::string_view key,
                        std::string_view defaultValue);
tarvik::Status writeSetting(const std::filesystem::path& programDir, std::string_view key,
                            std::string_view value);
tarvik::Status writeSetting(const std::filesystem::path& programDir, std::string_view key, long long value);

// What a front tells the user when a setting was not stored: the key, the file and the reason. Not being
// able to remember a folder or a language costs one more choice next time, so fronts say so without
// stopping the work.
std::string settingNotStoredText(const std::filesystem::path& programDir, std::string_view key,
                                 const tarvik::Error& error);

}  // namespace settings
