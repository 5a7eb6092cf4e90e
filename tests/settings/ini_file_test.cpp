#include "ini_file.h"

#include <gtest/gtest.h>

#include <unistd.h>
#include <cstdlib>

#include "program_settings.h"
#include "temp_folder.h"

using namespace settings;
using settings_test::readBytes;
using settings_test::TempFolder;
using settings_test::writeBytes;

TEST(ReadIniValue, DefaultOnlyWhenValueMissingOrEmpty) {
    TempFolder dir;
    const auto ini = dir / "TarvikBMP.ini";
    // No file at all.
    EXPECT_EQ(ReadIniValue(ini, "GENERAL", "Folder4", "c:\\"), "c:\\");
    EXPECT_EQ(ReadIniValue(ini, "GENERAL", "Folder1", ""), "");
    EXPECT_EQ(ReadIniValue(ini, "GENERAL", "Language", "1"), "1");

    writeBytes(ini, "[GENERAL]\r\nFolder4=\r\nFolder1=\r\nFolder5=   \r\nFolder6=/data\r\n");
    EXPECT_EQ(ReadIniValue(ini, "GENERAL", "Folder4", "c:\\"), "c:\\");  // present but empty
    EXPECT_EQ(ReadIniValue(ini, "GENERAL", "Folder5", "c:\\"), "c:\\");  // only blanks
    EXPECT_EQ(ReadIniValue(ini, "GENERAL", "Folder1", ""), "");
    EXPECT_EQ(ReadIniValue(ini, "GENERAL", "Folder6", "c:\\"), "/data");
    EXPECT_EQ(ReadIniValue(ini, "OTHER", "Folder6", "x"), "x");
}

TEST(ReadIniValue, NamesIgnoreCaseBlanksAndQuotesAreDropped) {
    TempFolder dir;
    const auto ini = dir / "a.ini";
    writeBytes(ini,
               "Language=9\n"  // before any section: belongs to none
               "; Folder1=/comment\n"
               "[ general ]\n"
               "  folder1 =  /home/u/Images  \n"
               "FOLDER2=\"  quoted  \"\n"
               "Folder3='/x'\n"
               "Folder4=\"/unbalanced\n"
               "Language=2\n"
               "Language=3\n");
    EXPECT_EQ(ReadIniValue(ini, "GENERAL", "Folder1", ""), "/home/u/Images");
    EXPECT_EQ(ReadIniValue(ini, "General", "folder2", ""), "  quoted  ");
    EXPECT_EQ(ReadIniValue(ini, "GENERAL", "Folder3", ""), "/x");
    EXPECT_EQ(ReadIniValue(ini, "GENERAL", "Folder4", ""), "\"/unbalanced");
    EXPECT_EQ(ReadIniValue(ini, "GENERAL", "Language", "1"), "2");  // first in the section wins
}

TEST(ReadIniValue, LongValuesAreCutTo254Characters) {
    TempFolder dir;
    const auto ini = dir / "a.ini";
    const std::string longValue(300, 'a');
    // 253 ASCII characters then a two-byte "é": the cut must not split it.
    const std::string accented = std::string(253, 'b') + "\xC3\xA9" + "ccc";
    writeBytes(ini, "[GENERAL]\r\nFolder1=" + longValue + "\r\nFolder2=" + accented + "\r\n");
    EXPECT_EQ(ReadIniValue(ini, "GENERAL", "Folder1", ""), std::string(254, 'a'));
    EXPECT_EQ(ReadIniValue(ini, "GENERAL", "Folder2", ""), std::string(253, 'b') + "\xC3\xA9");
    writeBytes(ini, "[GENERAL]\r\nFolder1=" + std::string(254, 'z') + "\r\n");
    EXPECT_EQ(ReadIniValue(ini, "GENERAL", "Folder1", "").size(), 254u);
}

TEST(WriteIniValue, FirstWriteCreatesTheFileWithCrLf) {
    TempFolder dir;
    const auto ini = dir / "TarvikBMP.ini";
    EXPECT_TRUE(WriteIniValue(ini, "GENERAL", "Folder1", "/media/d/Images"));
    EXPECT_EQ(readBytes(ini), "[GENERAL]\r\nFolder1=/media/d/Images\r\n");
    EXPECT_TRUE(WriteIniValue(ini, "GENERAL", "Language", 3));
    EXPECT_EQ(readBytes(ini), "[GENERAL]\r\nFolder1=/media/d/Images\r\nLanguage=3\r\n");
    EXPECT_EQ(ReadIniValue(ini, "GENERAL", "Language", "1"), "3");
}

TEST(WriteIniValue, ReplacesInPlaceAndKeepsEverythingElse) {
    TempFolder dir;
    const auto ini = dir / "a.ini";
    writeBytes(ini,
               "; written by hand\n"
               "[Other]\n"
               "Folder1=keep me\n"
               "\n"
               "[general]\n"
               "folder1 = old\n"
               "Language=2\n"
               "\n"
               "[Last]\n"
               "x=y");  // no line end at the very end
    EXPECT_TRUE(WriteIniValue(ini, "GENERAL", "FOLDER1", "new"));
    EXPECT_TRUE(WriteIniValue(ini, "GENERAL", "Folder7", "/backup"));
    EXPECT_TRUE(WriteIniValue(ini, "Fresh", "k", "v"));
    EXPECT_EQ(readBytes(ini),
              "; written by hand\r\n"
              "[Other]\r\n"
              "Folder1=keep me\r\n"
              "\r\n"
              "[general]\r\n"
              "folder1=new\r\n"
              "Language=2\r\n"
              "Folder7=/backup\r\n"
              "\r\n"
              "[Last]\r\n"
              "x=y\r\n"
              "\r\n"
              "[Fresh]\r\n"
              "k=v\r\n");
    EXPECT_EQ(ReadIniValue(ini, "Other", "Folder1", ""), "keep me");
}

TEST(WriteIniValue, RefusesTextThatWouldBreakTheFile) {
    TempFolder dir;
    const auto ini = dir / "a.ini";
    writeBytes(ini, "[GENERAL]\r\nFolder1=/a\r\n");
    // A folder name may hold a line break on this system; writing it would forge a second entry.
    EXPECT_FALSE(WriteIniValue(ini, "GENERAL", "Folder1", "/b\r\nLanguage=9"));
    EXPECT_FALSE(WriteIniValue(ini, "GENERAL", "Folder1", std::string("/b\0c", 4)));
    EXPECT_FALSE(WriteIniValue(ini, "GENERAL", "Key=2", "x"));
    EXPECT_FALSE(WriteIniValue(ini, "GEN]ERAL", "Folder1", "x"));
    EXPECT_FALSE(WriteIniValue(ini, "GENERAL", " ", "x"));
    EXPECT_EQ(readBytes(ini), "[GENERAL]\r\nFolder1=/a\r\n");
}

TEST(WriteIniValue, FailedWriteLeavesTheOldFileIntact) {
    TempFolder dir;
    // The replacement is written beside the target under a longer name; with a file name near the
    // system's limit that name cannot be created, which fails the write even for root.
    const auto ini = dir / std::string(250, 'n');
    const std::string old = "[GENERAL]\r\nFolder1=/old\r\n";
    writeBytes(ini, old);
    EXPECT_FALSE(WriteIniValue(ini, "GENERAL", "Folder1", "/new"));
    EXPECT_EQ(readBytes(ini), old);
    EXPECT_EQ(ReadIniValue(ini, "GENERAL", "Folder1", ""), "/old");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);

    // A settings "file" that cannot be read is never replaced by one holding a single key.
    const auto folderInTheWay = dir / "TarvikBMP.ini";
    std::filesystem::create_directory(folderInTheWay);
    EXPECT_FALSE(WriteIniValue(folderInTheWay, "GENERAL", "Folder1", "/new"));
    EXPECT_TRUE(std::filesystem::is_directory(folderInTheWay));

    // A folder that does not exist: nothing is created.
    EXPECT_FALSE(WriteIniValue(dir / "missing" / "a.ini", "GENERAL", "Folder1", "/new"));
    EXPECT_FALSE(std::filesystem::exists(dir / "missing"));
}

TEST(WriteIniValue, ReadOnlyFolderIsIgnored) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root writes into read-only folders";
    }
    TempFolder dir;
    const auto ini = dir / "a.ini";
    writeBytes(ini, "[GENERAL]\r\nLanguage=2\r\n");
    std::filesystem::permissions(dir.path(),
                                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    EXPECT_FALSE(WriteIniValue(ini, "GENERAL", "Language", 3));
    EXPECT_EQ(ReadIniValue(ini, "GENERAL", "Language", "1"), "2");
}

TEST(ProgramSettings, PathsKeysAndProgramFolder) {
    EXPECT_EQ(settingsFilePath("/opt/tarvik"), std::filesystem::path("/opt/tarvik/TarvikBMP.ini"));
    EXPECT_EQ(folderKey(Folder::OpenedImage), "Folder1");
    EXPECT_EQ(folderKey(Folder::DecompressBackup), "Folder7");

    ::unsetenv(ProgramFolderVariable);
    EXPECT_EQ(programFolder(), std::filesystem::read_symlink("/proc/self/exe").parent_path());
    ::setenv(ProgramFolderVariable, "", 1);  // empty counts as unset
    EXPECT_EQ(programFolder(), std::filesystem::read_symlink("/proc/self/exe").parent_path());
    ::setenv(ProgramFolderVariable, "/tmp/elsewhere", 1);
    EXPECT_EQ(programFolder(), std::filesystem::path("/tmp/elsewhere"));
    ::unsetenv(ProgramFolderVariable);

    TempFolder dir;
    EXPECT_TRUE(writeSetting(dir.path(), "Folder4", "/src"));
    EXPECT_EQ(readSetting(dir.path(), "Folder4", "c:\\"), "/src");
    EXPECT_EQ(readBytes(dir / "TarvikBMP.ini"), "[GENERAL]\r\nFolder4=/src\r\n");
}
