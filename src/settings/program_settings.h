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
// Overrides the executable's folder (tests, packaging): settings, language files and flags live there.
inline constexpr const char* ProgramFolderVariable = "TARVIKBMP_HOME";

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

// The program folder: $TARVIKBMP_HOME when set and not empty, else the folder of the running
// executable, else (no /proc) the current folder.
std::filesystem::path programFolder();

// "TarvikBMP.ini" in the given program folder. Built afresh by every caller, never cached.
std::filesystem::path settingsFilePath(const std::filesystem::path& programDir);

// ReadIniValue / WriteIniValue on section "GENERAL" of the program folder's settings file.
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
