#include "file_io.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

fs::path makeTempDir() {
    static int serial = 0;
    auto dir = fs::temp_directory_path() /
               ("tarvik_io_" + std::to_string(::getpid()) + "_" + std::to_string(serial++));
    fs::create_directories(dir);
    return dir;
}

std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

}  // namespace

TEST(AtomicFileWriter, ReplacesExistingFileAndLeavesNoTemporary) {
    auto dir = makeTempDir();
    auto target = dir / "a.bin";
    std::ofstream(target) << "old content";
    const std::uint8_t bytes[] = {1, 2, 3};
    ASSERT_TRUE(tarvik::writeFileAtomically(target, bytes).ok());
    EXPECT_EQ(slurp(target), std::string("\x01\x02\x03", 3));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator{}), 1);
    fs::remove_all(dir);
}

TEST(AtomicFileWriter, NamesAtTheSystemLimitCanBeWritten) {
    auto dir = makeTempDir();
    std::string accented;
    for (int i = 0; i < 127; ++i) {
        accented += "\xC3\xA9";  // e acute: the temporary's cut must not split it
    }
    for (const std::string& name : {std::string(255, 'n'), accented + "x"}) {
        const std::uint8_t bytes[] = {7};
        ASSERT_TRUE(tarvik::writeFileAtomically(dir / name, bytes).ok()) << name.size();
        EXPECT_EQ(slurp(dir / name), "\x07");
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator{}), 2);
    fs::remove_all(dir);
}

// A full disk, even for root: the child may write no more than a few bytes to any file.
TEST(AtomicFileWriter, FullDiskFailsAndKeepsTheOldFile) {
    auto dir = makeTempDir();
    auto target = dir / "a.bin";
    std::ofstream(target) << "old content";
    const pid_t child = ::fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);  // a refused write, instead of a killed process
        const rlimit limit{4, 4};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const std::vector<std::uint8_t> bytes(100000, 1);
        const tarvik::Status status = tarvik::writeFileAtomically(target, bytes);
        ::_exit(!status.ok() && status.error().code == tarvik::ErrorCode::Io ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the write must report its failure";
    EXPECT_EQ(slurp(target), "old content");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator{}), 1);
    fs::remove_all(dir);
}

TEST(AtomicFileWriter, UncommittedWriteKeepsOldFile) {
    auto dir = makeTempDir();
    auto target = dir / "a.bin";
    std::ofstream(target) << "old content";
    {
        tarvik::AtomicFileWriter writer(target);
        writer.write(std::string("half"));
    }
    EXPECT_EQ(slurp(target), "old content");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator{}), 1);
    fs::remove_all(dir);
}

TEST(AtomicFileWriter, ParallelWritersToOneTargetEachLeaveAWholeFile) {
    auto dir = makeTempDir();
    auto target = dir / "shared.bin";
    std::vector<std::thread> threads;
    std::vector<int> failures(4, 0);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            // Each writer's content has its own length and byte, so a mix of two shows.
            const std::vector<std::uint8_t> bytes(1000 + 100 * static_cast<std::size_t>(t),
                                                  static_cast<std::uint8_t>('a' + t));
            for (int i = 0; i < 200; ++i) {
                failures[static_cast<std::size_t>(t)] +=
                    tarvik::writeFileAtomically(target, bytes).ok() ? 0 : 1;
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(failures, std::vector<int>(4, 0));
    const std::string content = slurp(target);
    ASSERT_FALSE(content.empty());
    EXPECT_EQ(content, std::string(1000 + 100 * static_cast<std::size_t>(content[0] - 'a'), content[0]));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator{}), 1);
    fs::remove_all(dir);
}

TEST(AtomicFileWriter, MissingFolderFailsWithIo) {
    auto dir = makeTempDir();
    const std::uint8_t bytes[] = {1};
    auto status = tarvik::writeFileAtomically(dir / "no" / "such" / "x.bin", bytes);
    ASSERT_FALSE(status.ok());
    EXPECT_EQ(status.error().code, tarvik::ErrorCode::Io);
    fs::remove_all(dir);
}

TEST(AtomicFileWriter, TargetThatIsAFolderIsNotReplaced) {
    auto dir = makeTempDir();
    fs::create_directories(dir / "x.bmp" / "inner");
    const std::uint8_t bytes[] = {1};
    EXPECT_FALSE(tarvik::writeFileAtomically(dir / "x.bmp", bytes).ok());
    EXPECT_TRUE(fs::is_directory(dir / "x.bmp" / "inner"));
    fs::remove_all(dir);
}

TEST(ReadWholeFile, ReadsBytesAndRefusesFoldersAndMissingFiles) {
    auto dir = makeTempDir();
    std::ofstream(dir / "f", std::ios::binary) << std::string("ab\0c", 4);
    auto bytes = tarvik::readWholeFile(dir / "f");
    ASSERT_TRUE(bytes.ok());
    EXPECT_EQ(bytes->size(), 4u);
    EXPECT_FALSE(tarvik::readWholeFile(dir).ok());
    EXPECT_FALSE(tarvik::readWholeFile(dir / "missing").ok());
    EXPECT_EQ(tarvik::readWholeFile(dir / "f", 3).error().code, tarvik::ErrorCode::TooLarge);
    fs::remove_all(dir);
}
