#include "file_io.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <thread>

#include "test_helpers.h"

using namespace testhelpers;
using tarvik::ErrorCode;

namespace {

// Bytes with no short period, so a piece read or copied from the wrong place shows.
Bytes pattern(std::size_t size) {
    Bytes out(size);
    for (std::size_t i = 0; i < size; ++i) {
        out[i] = static_cast<std::uint8_t>(i ^ (i >> 11));
    }
    return out;
}

}  // namespace

TEST(AtomicFileWriter, ReplacesTheTargetOnlyOnACompleteWriteAndLeavesNoTemporary) {
    TempDir dir;
    writeFile(dir / "a.bin", "old content");
    {
        tarvik::AtomicFileWriter writer(dir / "a.bin");
        writer.write(std::string("half"));
    }  // never committed
    EXPECT_EQ(readText(dir / "a.bin"), "old content");
    const std::uint8_t bytes[] = {1, 2, 3};
    fs::create_directories(dir / "x.bmp/inner");
    EXPECT_FALSE(tarvik::writeFileAtomically(dir / "x.bmp", bytes).ok());
    EXPECT_TRUE(fs::is_directory(dir / "x.bmp/inner"));
    EXPECT_EQ(tarvik::writeFileAtomically(dir / "no/such/x.bin", bytes).error().code, ErrorCode::Io);
    // Renaming over a device or a pipe would replace it (for root, /dev/null itself).
    ASSERT_EQ(mkfifo((dir / "pipe").c_str(), 0644), 0);
    EXPECT_FALSE(tarvik::writeFileAtomically(dir / "pipe", bytes).ok());
    EXPECT_TRUE(fs::is_fifo(dir / "pipe"));
    EXPECT_FALSE(tarvik::readWholeFile(dir / "pipe").ok());  // and reading one must not wait for a writer
    fs::remove(dir / "pipe");
    fs::permissions(dir / "a.bin", fs::perms::owner_read | fs::perms::owner_write);
    ASSERT_TRUE(tarvik::writeFileAtomically(dir / "a.bin", bytes).ok());
    EXPECT_EQ(readText(dir / "a.bin"), "\x01\x02\x03");
    EXPECT_EQ(fs::status(dir / "a.bin").permissions(), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(dir.entryCount(), 2u);
}

TEST(AtomicFileWriter, NamesAtTheSystemLimitCanBeWritten) {
    TempDir dir;
    std::string accented;
    for (int i = 0; i < 127; ++i) {
        accented += "\xC3\xA9";  // e acute: the temporary's cut must not split it
    }
    for (const std::string& name : {std::string(255, 'n'), accented + "x"}) {
        const std::uint8_t bytes[] = {7};
        ASSERT_TRUE(tarvik::writeFileAtomically(dir / name, bytes).ok()) << name.size();
        EXPECT_EQ(readText(dir / name), "\x07");
    }
    EXPECT_EQ(dir.entryCount(), 2u);
}

TEST(AtomicFileWriter, FullDiskFailsAndKeepsTheOldFile) {
    TempDir dir;
    writeFile(dir / "a.bin", "old content");
    EXPECT_EQ(inChildWithFullDisk([&] {
                  const tarvik::Status status =
                      tarvik::writeFileAtomically(dir / "a.bin", std::vector<std::uint8_t>(100000, 1));
                  return !status.ok() && status.error().code == ErrorCode::Io ? 0 : 1;
              }),
              0)
        << "the write must report its failure";
    EXPECT_EQ(readText(dir / "a.bin"), "old content");
    EXPECT_EQ(dir.entryCount(), 1u);
}

TEST(AtomicFileWriter, ParallelWritersToOneTargetEachLeaveAWholeFile) {
    TempDir dir;
    std::vector<std::thread> threads;
    for (std::size_t t = 0; t < 4; ++t) {
        threads.emplace_back([&dir, t] {
            // Each writer's content has its own length and byte, so a mix of two shows.
            const Bytes bytes(1000 + 100 * t, static_cast<std::uint8_t>('a' + t));
            for (int i = 0; i < 200; ++i) {
                EXPECT_TRUE(tarvik::writeFileAtomically(dir / "shared.bin", bytes).ok());
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    const std::string content = readText(dir / "shared.bin");
    ASSERT_FALSE(content.empty());
    EXPECT_EQ(content, std::string(1000 + 100 * static_cast<std::size_t>(content[0] - 'a'), content[0]));
    EXPECT_EQ(dir.entryCount(), 1u);
}

TEST(ReadWholeFile, ReadsBytesAndRefusesFoldersMissingAndOversizedFiles) {
    TempDir dir;
    writeFile(dir / "f", std::string_view("ab\0c", 4));
    EXPECT_EQ(tarvik::readWholeFile(dir / "f").value(), (Bytes{'a', 'b', 0, 'c'}));
    EXPECT_FALSE(tarvik::readWholeFile(dir.path).ok());
    EXPECT_FALSE(tarvik::readWholeFile(dir / "missing").ok());
    EXPECT_EQ(tarvik::readWholeFile(dir / "f", 3).error().code, ErrorCode::TooLarge);
}

TEST(ReadInto, ReadsOnFromWhereItWasUpToTheLimitAndRefusesWhatWouldNotFit) {
    TempDir dir;
    const Bytes content = pattern(200000);
    writeFile(dir / "f", content);
    tarvik::Result<tarvik::FileHandle> file = tarvik::openFileForReading(dir / "f");
    ASSERT_TRUE(file);
    Bytes bytes;
    ASSERT_TRUE(tarvik::readInto(file->fd(), bytes, 64, 1 << 20));
    EXPECT_EQ(bytes, Bytes(content.begin(), content.begin() + 64));
    ASSERT_TRUE(tarvik::readInto(file->fd(), bytes, 150001, 1 << 20));
    EXPECT_EQ(bytes, Bytes(content.begin(), content.begin() + 150001));
    ASSERT_TRUE(tarvik::readInto(file->fd(), bytes, UINT64_MAX, 1 << 20));  // to the end
    EXPECT_EQ(bytes, content);

    // A file growing while it is read is taken as far as it goes.
    std::FILE* grow = std::fopen((dir / "f").c_str(), "ab");
    ASSERT_NE(grow, nullptr);
    std::fputs("more", grow);
    std::fclose(grow);
    ASSERT_TRUE(tarvik::readInto(file->fd(), bytes, UINT64_MAX, 1 << 20));
    EXPECT_EQ(bytes.size(), content.size() + 4);

    // Too large by its size: refused before anything is read.
    tarvik::Result<tarvik::FileHandle> again = tarvik::openFileForReading(dir / "f");
    Bytes none;
    EXPECT_EQ(tarvik::readInto(again->fd(), none, UINT64_MAX, 1000).error().code, ErrorCode::TooLarge);
    EXPECT_TRUE(none.empty());
    EXPECT_TRUE(tarvik::readInto(again->fd(), none, 1000, 1000));  // what is asked for fits
    EXPECT_EQ(none.size(), 1000u);
}

TEST(AtomicFileWriter, WriteRestOfCopiesWhatFollowsTheReadPart) {
    TempDir dir;
    const Bytes content = pattern(3 << 20);
    writeFile(dir / "source", content);
    tarvik::Result<tarvik::FileHandle> in = tarvik::openFileForReading(dir / "source");
    Bytes head;
    ASSERT_TRUE(tarvik::readInto(in->fd(), head, 10, UINT64_MAX));
    tarvik::AtomicFileWriter out(dir / "copy");
    out.write(head);
    ASSERT_TRUE(out.writeRestOf(in->fd()));
    ASSERT_TRUE(out.commit());
    EXPECT_EQ(readFile(dir / "copy"), content);
    EXPECT_FALSE(out.writeRestOf(-1));  // a read error is the copy's failure
}
