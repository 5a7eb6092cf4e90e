#include "ini_file.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "program_settings.h"
#include "test_support.h"

using namespace settings;
using namespace settings_test;

TEST(ReadIniValue, DefaultsNamesBlanksQuotesAndTheCut) {
    TempFolder dir;
    EXPECT_EQ(ReadIniValue(dir / "none.ini", "GENERAL", "Folder4", "c:\\"), "c:\\");
    const auto ini = dir / "a.ini";
    // LF and CR LF mixed on purpose: both are read. The first "Language" belongs to no section.
    std::string text = "Language=9\n; Folder1=/comment\n[ general ]\r\nEmpty=\r\nBlanks=   \n";
    text += "  folder1 =  /home/u/Images  \nFOLDER2=\"  quoted  \"\nFolder3='/x'\nFolder4=\"/unbalanced\n";
    text += "Language=2\nLanguage=3\nCut254=" + std::string(254, 'z') + "\nCut255=" + std::string(255, 'a');
    text += "\r\nAccented=" + std::string(253, 'b') + "\xC3\xA9" + "ccc\r\n";
    writeBytes(ini, text);
    EXPECT_EQ(ReadIniValue(ini, "OTHER", "Folder1", "x"), "x");
    // clang-format off
    const std::vector<std::array<std::string, 3>> rows = {  // key, default, expected
        {"Empty", "c:\\", "c:\\"}, {"Blanks", "c:\\", "c:\\"}, {"Empty", "", ""}, {"Missing", "1", "1"},
        {"Folder1", "", "/home/u/Images"}, {"folder2", "", "  quoted  "}, {"Folder3", "", "/x"},
        {"Folder4", "", "\"/unbalanced"}, {"Language", "1", "2"},  // the first in the section wins
        {"Cut254", "", std::string(254, 'z')}, {"Cut255", "", std::string(254, 'a')},
        {"Accented", "", std::string(253, 'b') + "\xC3\xA9"}};  // a character is never split
    // clang-format on
    for (const auto& [key, fallback, expected] : rows) {
        EXPECT_EQ(ReadIniValue(ini, "General", key, fallback), expected) << key;
    }
}

TEST(WriteIniValue, ReplacesInPlaceAndKeepsEverythingElse) {
    TempFolder dir;
    const auto ini = dir / "a.ini";
    writeBytes(ini,
               "; written by hand\n[Other]\nFolder1=keep me\n\n[general]\nfolder1 = old\nLanguage=2\n\n"
               "[Last]\nx=y");  // no line end at the very end
    EXPECT_TRUE(WriteIniValue(ini, "GENERAL", "FOLDER1", "new"));
    EXPECT_TRUE(WriteIniValue(ini, "GENERAL", "Folder7", "/backup"));
    EXPECT_TRUE(WriteIniValue(ini, "Fresh", "k", "v"));
    EXPECT_EQ(
        readBytes(ini),
        "; written by hand\r\n[Other]\r\nFolder1=keep me\r\n\r\n[general]\r\nfolder1=new\r\nLanguage=2\r\n"
        "Folder7=/backup\r\n\r\n[Last]\r\nx=y\r\n\r\n[Fresh]\r\nk=v\r\n");
}

TEST(WriteIniValue, RefusesTextThatWouldBreakTheFile) {
    TempFolder dir;
    const auto ini = dir / "a.ini";
    writeBytes(ini, "[GENERAL]\r\nFolder1=/a\r\n");
    // A folder name may hold a line break on this system; writing it would forge a second entry.
    const std::vector<std::array<std::string, 3>> refused = {{"GENERAL", "Folder1", "/b\r\nLanguage=9"},
                                                             {"GENERAL", "Folder1", std::string("/b\0c", 4)},
                                                             {"GENERAL", "Key=2", "x"},
                                                             {"GEN]ERAL", "Folder1", "x"},
                                                             {"GENERAL", " ", "x"}};
    for (const auto& [section, key, value] : refused) {
        EXPECT_FALSE(WriteIniValue(ini, section, key, value)) << key << value;
    }
    EXPECT_EQ(readBytes(ini), "[GENERAL]\r\nFolder1=/a\r\n");
}

TEST(WriteIniValue, FailedWriteLeavesTheOldFileIntact) {
    TempFolder dir;
    // A full disk, even for root: a child that may write no more than a few bytes to any file.
    const auto ini = dir / "TarvikBMP.ini";
    writeBytes(ini, "[GENERAL]\r\nFolder1=/old\r\n");
    const pid_t child = ::fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4, 4};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        ::_exit(WriteIniValue(ini, "GENERAL", "Folder1", "/new") ? 1 : 0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the write must report its failure";
    EXPECT_EQ(readBytes(ini), "[GENERAL]\r\nFolder1=/old\r\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path), {}), 1);

    // A settings "file" that cannot be read is never replaced by one holding a single key.
    std::filesystem::create_directory(dir / "Other.ini");
    EXPECT_FALSE(WriteIniValue(dir / "Other.ini", "GENERAL", "Folder1", "/new"));
    EXPECT_TRUE(std::filesystem::is_directory(dir / "Other.ini"));

    EXPECT_FALSE(WriteIniValue(dir / "missing" / "a.ini", "GENERAL", "Folder1", "/new"));
    EXPECT_FALSE(std::filesystem::exists(dir / "missing"));
}

TEST(ProgramSettings, FolderFromTheEnvironmentAndTheSettingsFile) {
    const auto executableFolder = std::filesystem::read_symlink("/proc/self/exe").parent_path();
    ::unsetenv(ProgramFolderVariable);
    EXPECT_EQ(programFolder(), executableFolder);
    ::setenv(ProgramFolderVariable, "", 1);  // empty counts as unset
    EXPECT_EQ(programFolder(), executableFolder);
    ::setenv(ProgramFolderVariable, "/tmp/elsewhere", 1);
    EXPECT_EQ(programFolder(), std::filesystem::path("/tmp/elsewhere"));
    ::unsetenv(ProgramFolderVariable);

    TempFolder dir;
    // The first write creates the file, with CR LF line ends like one written on Windows.
    EXPECT_TRUE(writeSetting(dir.path, folderKey(Folder::CompressSource), "/src"));
    EXPECT_TRUE(writeSetting(dir.path, LanguageKey, 3));
    EXPECT_EQ(readSetting(dir.path, "Folder4", "c:\\"), "/src");
    EXPECT_EQ(readBytes(dir / "TarvikBMP.ini"), "[GENERAL]\r\nFolder4=/src\r\nLanguage=3\r\n");
}
