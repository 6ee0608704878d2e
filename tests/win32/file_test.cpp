// Files read whole: CreateFileA, GetFileSizeEx, ReadFile, CloseHandle and the last errors they leave.
// Only calls and results Windows gives the same way, so that the program can run unchanged there;
// besides, the layer's reader of whole files (common/regular_file.h), whose open CreateFileA shares.
#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>
#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/regular_file.h"

namespace {

// Bytes that differ from their neighbours, so a read from a wrong offset or of the wrong file cannot compare
// equal.
std::vector<char> Pattern(size_t size, unsigned seed) {
  std::vector<char> bytes(size);
  unsigned state = seed * 2654435761u + 1;
  for (size_t i = 0; i < size; ++i) {
    state = state * 1103515245u + 12345u;
    bytes[i] = static_cast<char>(state >> 16);
  }
  return bytes;
}

class FileTest : public ::testing::Test {
 protected:
  void TearDown() override {
    for (const std::string& path : written_) remove(path.c_str());
  }

  // Writes the bytes to a new file of the test's own and returns its name.
  std::string WriteFile(const char* name, const std::vector<char>& bytes) {
    const std::string path = ::testing::TempDir() + "file_test_" + name;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    EXPECT_FALSE(out.fail()) << path;
    written_.push_back(path);
    return path;
  }

  // Shared with writers, as the model loaders open their files.
  static HANDLE OpenForReading(const std::string& path) {
    return CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, NULL);
  }

  std::vector<std::string> written_;
};

// An odd size, more than a page.
constexpr size_t kFileSize = 3 * 65536 + 123;

TEST_F(FileTest, ReadsAWrittenFileWithItsSizeAndBytes) {
  const std::vector<char> bytes = Pattern(kFileSize, 1);
  const std::string path = WriteFile("whole.bin", bytes);

  HANDLE file = OpenForReading(path);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  ASSERT_NE(file, static_cast<HANDLE>(NULL));
  LARGE_INTEGER size;
  size.QuadPart = -1;
  ASSERT_TRUE(GetFileSizeEx(file, &size));
  EXPECT_EQ(size.QuadPart, static_cast<LONGLONG>(kFileSize));
  EXPECT_EQ(size.LowPart, static_cast<DWORD>(kFileSize));
  EXPECT_EQ(size.HighPart, 0);

  std::vector<char> read(kFileSize + 10, 'x');
  DWORD count = 12345;
  ASSERT_TRUE(ReadFile(file, read.data(), static_cast<DWORD>(read.size()), &count, NULL));
  EXPECT_EQ(count, static_cast<DWORD>(kFileSize));  // fewer than asked for: the file ends
  EXPECT_EQ(memcmp(read.data(), bytes.data(), kFileSize), 0);
  EXPECT_EQ(read[kFileSize], 'x');

  count = 12345;
  EXPECT_TRUE(ReadFile(file, read.data(), 100, &count, NULL));  // at the end: no failure, no bytes
  EXPECT_EQ(count, 0u);
  EXPECT_TRUE(CloseHandle(file));
}

TEST_F(FileTest, ReadsGoOnFromWhereTheLastOneEnded) {
  const std::vector<char> bytes = Pattern(kFileSize, 2);
  const std::string path = WriteFile("pieces.bin", bytes);
  HANDLE file = OpenForReading(path);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  std::vector<char> read(kFileSize);
  size_t done = 0;
  for (DWORD piece : {1u, 999u, 65536u, 0u, 200000u}) {
    DWORD count = 0;
    ASSERT_TRUE(ReadFile(file, read.data() + done, piece, &count, NULL));
    EXPECT_EQ(count, static_cast<DWORD>(std::min<size_t>(piece, kFileSize - done)));
    done += count;
  }
  EXPECT_EQ(done, kFileSize);
  EXPECT_EQ(memcmp(read.data(), bytes.data(), kFileSize), 0);
  EXPECT_TRUE(CloseHandle(file));
}

TEST_F(FileTest, AnEmptyFileOpensAndReadsNothing) {
  const std::string path = WriteFile("empty.bin", std::vector<char>());
  HANDLE file = OpenForReading(path);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  LARGE_INTEGER size;
  size.QuadPart = -1;
  ASSERT_TRUE(GetFileSizeEx(file, &size));
  EXPECT_EQ(size.QuadPart, 0);
  char byte = 'x';
  DWORD count = 1;
  EXPECT_TRUE(ReadFile(file, &byte, 1, &count, NULL));
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(byte, 'x');
  EXPECT_TRUE(CloseHandle(file));
}

// Another program may shorten a file open for reading and writing by others: reads then end at the new end.
TEST_F(FileTest, AFileTruncatedWhileOpenReadsToItsNewEnd) {
  const std::vector<char> bytes = Pattern(kFileSize, 3);
  const std::string path = WriteFile("truncated.bin", bytes);
  HANDLE file = OpenForReading(path);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  std::vector<char> read(kFileSize);
  DWORD count = 0;
  ASSERT_TRUE(ReadFile(file, read.data(), 1000, &count, NULL));
  ASSERT_EQ(count, 1000u);
  std::filesystem::resize_file(path, 5000);
  ASSERT_TRUE(ReadFile(file, read.data() + 1000, static_cast<DWORD>(kFileSize - 1000), &count, NULL));
  EXPECT_EQ(count, 4000u);
  EXPECT_EQ(memcmp(read.data(), bytes.data(), 5000), 0);
  LARGE_INTEGER size;
  ASSERT_TRUE(GetFileSizeEx(file, &size));
  EXPECT_EQ(size.QuadPart, 5000);
  EXPECT_TRUE(CloseHandle(file));
}

TEST_F(FileTest, AMissingFileGivesTheInvalidHandleValue) {
  const std::string path = ::testing::TempDir() + "file_test_never_written.bin";
  remove(path.c_str());
  HANDLE file = OpenForReading(path);
  EXPECT_EQ(file, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

// A folder, as Windows refuses it without FILE_FLAG_BACKUP_SEMANTICS; a FIFO without a writer (which a
// blocking open would wait on forever) and devices, named or behind a link, the same way.
TEST_F(FileTest, OnlyRegularFilesOpen) {
  std::string folder = ::testing::TempDir();
  while (folder.size() > 1 && (folder.back() == '/' || folder.back() == '\\')) folder.pop_back();
  const std::string fifo = ::testing::TempDir() + "file_test_fifo";
  const std::string link = ::testing::TempDir() + "file_test_zero_link";
  remove(fifo.c_str());
  remove(link.c_str());
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  ASSERT_EQ(symlink("/dev/zero", link.c_str()), 0);
  written_.insert(written_.end(), {fifo, link});
  for (const std::string& path : {folder, fifo, link, std::string("/dev/zero"), std::string("/dev/urandom")}) {
    HANDLE file = OpenForReading(path);
    EXPECT_EQ(file, INVALID_HANDLE_VALUE) << path;
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED)) << path;
  }
}

// The layer's one reader of whole files, with the size limit each kind of file gets.
TEST_F(FileTest, TheFileReaderTakesRegularFilesUpToItsLimit) {
  const std::vector<char> pattern = Pattern(1000, 9);
  const std::string path = WriteFile("limit.bin", pattern);
  std::vector<unsigned char> bytes;
  ASSERT_TRUE(platform::ReadRegularFile(path.c_str(), pattern.size(), &bytes));
  EXPECT_EQ(bytes, std::vector<unsigned char>(pattern.begin(), pattern.end()));
  EXPECT_FALSE(platform::ReadRegularFile(path.c_str(), pattern.size() - 1, &bytes));
  const std::string fifo = ::testing::TempDir() + "file_test_reader_fifo";
  remove(fifo.c_str());
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  written_.push_back(fifo);
  for (const std::string& refused : {fifo, std::string("/dev/zero"), ::testing::TempDir()})
    EXPECT_FALSE(platform::ReadRegularFile(refused.c_str(), 1 << 20, &bytes)) << refused;
}

TEST_F(FileTest, ClosedAndMadeUpHandlesAreRefused) {
  const std::string path = WriteFile("handles.bin", Pattern(kFileSize, 7));
  HANDLE file = OpenForReading(path);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(CloseHandle(NULL));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_TRUE(CloseHandle(file));

  LARGE_INTEGER size;
  EXPECT_FALSE(GetFileSizeEx(file, &size));  // closed
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  char buffer[16];
  DWORD count = 99;  // set to zero before anything is checked
  EXPECT_FALSE(ReadFile(file, buffer, sizeof buffer, &count, NULL));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_EQ(count, 0u);
  count = 99;
  EXPECT_FALSE(ReadFile(NULL, buffer, sizeof buffer, &count, NULL));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_EQ(count, 0u);
}

}  // namespace
