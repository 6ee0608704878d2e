// Files mapped for reading: CreateFileA, GetFileSizeEx, CreateFileMappingA, MapViewOfFile,
// UnmapViewOfFile, CloseHandle and the last errors they leave. Only calls and results Windows gives the
// same way, so that the program can run unchanged there; besides, the layer's reader of whole files
// (common/regular_file.h), whose open CreateFileA shares.
#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>
#include <windows.h>

#include <fstream>
#include <string>
#include <vector>

#include "common/regular_file.h"

namespace {

constexpr size_t kGranularity = 64 * 1024;  // Windows' allocation granularity: view offsets are multiples of it

// Bytes that differ from their neighbours and from the same place one granule on, so a view at a wrong
// offset or of the wrong file cannot compare equal.
std::vector<char> Pattern(size_t size, unsigned seed) {
  std::vector<char> bytes(size);
  unsigned state = seed * 2654435761u + 1;
  for (size_t i = 0; i < size; ++i) {
    state = state * 1103515245u + 12345u;
    bytes[i] = static_cast<char>(state >> 16);
  }
  return bytes;
}

class FileMappingTest : public ::testing::Test {
 protected:
  void TearDown() override {
    for (const std::string& path : written_) remove(path.c_str());
  }

  // Writes the bytes to a new file of the test's own and returns its name.
  std::string WriteFile(const char* name, const std::vector<char>& bytes) {
    const std::string path = ::testing::TempDir() + "file_mapping_test_" + name;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    EXPECT_FALSE(out.fail()) << path;
    written_.push_back(path);
    return path;
  }

  static HANDLE OpenForReading(const std::string& path) {
    return CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                       NULL);
  }

  std::vector<std::string> written_;
};

// An odd size: three whole granules and a part of a page.
constexpr size_t kFileSize = 3 * kGranularity + 123;

TEST_F(FileMappingTest, MapsAWrittenFileWithItsSizeAndBytes) {
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

  HANDLE mapping = CreateFileMappingA(file, NULL, PAGE_READONLY, 0, 0, NULL);
  ASSERT_NE(mapping, static_cast<HANDLE>(NULL));
  EXPECT_NE(mapping, file);
  const char* view = static_cast<const char*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0));
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(memcmp(view, bytes.data(), kFileSize), 0);

  // A view from the second granule on, of an exact length.
  const char* part = static_cast<const char*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, kGranularity, 1000));
  ASSERT_NE(part, nullptr);
  EXPECT_EQ(memcmp(part, bytes.data() + kGranularity, 1000), 0);

  EXPECT_TRUE(UnmapViewOfFile(part));
  EXPECT_TRUE(UnmapViewOfFile(view));
  EXPECT_TRUE(CloseHandle(mapping));
  EXPECT_TRUE(CloseHandle(file));
}

TEST_F(FileMappingTest, AnEmptyFileOpensButCannotBeMapped) {
  const std::string path = WriteFile("empty.bin", std::vector<char>());
  HANDLE file = OpenForReading(path);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  LARGE_INTEGER size;
  size.QuadPart = -1;
  ASSERT_TRUE(GetFileSizeEx(file, &size));
  EXPECT_EQ(size.QuadPart, 0);

  HANDLE mapping = CreateFileMappingA(file, NULL, PAGE_READONLY, 0, 0, NULL);
  EXPECT_EQ(mapping, static_cast<HANDLE>(NULL));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_INVALID));
  if (mapping != NULL) CloseHandle(mapping);
  EXPECT_TRUE(CloseHandle(file));
}

TEST_F(FileMappingTest, AMissingFileGivesTheInvalidHandleValue) {
  const std::string path = ::testing::TempDir() + "file_mapping_test_never_written.bin";
  remove(path.c_str());
  HANDLE file = OpenForReading(path);
  EXPECT_EQ(file, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

// A folder, as Windows refuses it without FILE_FLAG_BACKUP_SEMANTICS; a FIFO without a writer (which a
// blocking open would wait on forever) and devices, named or behind a link, the same way.
TEST_F(FileMappingTest, OnlyRegularFilesOpen) {
  std::string folder = ::testing::TempDir();
  while (folder.size() > 1 && (folder.back() == '/' || folder.back() == '\\')) folder.pop_back();
  const std::string fifo = ::testing::TempDir() + "file_mapping_test_fifo";
  const std::string link = ::testing::TempDir() + "file_mapping_test_zero_link";
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
TEST_F(FileMappingTest, TheFileReaderTakesRegularFilesUpToItsLimit) {
  const std::vector<char> pattern = Pattern(1000, 9);
  const std::string path = WriteFile("limit.bin", pattern);
  std::vector<unsigned char> bytes;
  ASSERT_TRUE(platform::ReadRegularFile(path.c_str(), pattern.size(), &bytes));
  EXPECT_EQ(bytes, std::vector<unsigned char>(pattern.begin(), pattern.end()));
  EXPECT_FALSE(platform::ReadRegularFile(path.c_str(), pattern.size() - 1, &bytes));
  const std::string fifo = ::testing::TempDir() + "file_mapping_test_reader_fifo";
  remove(fifo.c_str());
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  written_.push_back(fifo);
  for (const std::string& refused : {fifo, std::string("/dev/zero"), ::testing::TempDir()})
    EXPECT_FALSE(platform::ReadRegularFile(refused.c_str(), 1 << 20, &bytes)) << refused;
}

TEST_F(FileMappingTest, AViewOutlivesItsClosedHandles) {
  const std::vector<char> bytes = Pattern(kFileSize, 2);
  const std::string path = WriteFile("outlives.bin", bytes);
  HANDLE file = OpenForReading(path);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  HANDLE mapping = CreateFileMappingA(file, NULL, PAGE_READONLY, 0, 0, NULL);
  ASSERT_NE(mapping, static_cast<HANDLE>(NULL));
  EXPECT_TRUE(CloseHandle(file));  // the mapping keeps the file
  const char* view = static_cast<const char*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, kFileSize));
  ASSERT_NE(view, nullptr);
  EXPECT_TRUE(CloseHandle(mapping));  // the view keeps the mapping

  // Other files opened and mapped meanwhile must not take the view's place.
  const std::string otherPath = WriteFile("outlives_other.bin", Pattern(kFileSize, 3));
  HANDLE other = OpenForReading(otherPath);
  ASSERT_NE(other, INVALID_HANDLE_VALUE);
  HANDLE otherMapping = CreateFileMappingA(other, NULL, PAGE_READONLY, 0, 0, NULL);
  ASSERT_NE(otherMapping, static_cast<HANDLE>(NULL));
  EXPECT_TRUE(CloseHandle(otherMapping));
  EXPECT_TRUE(CloseHandle(other));

  EXPECT_EQ(memcmp(view, bytes.data(), kFileSize), 0);
  EXPECT_TRUE(UnmapViewOfFile(view));
}

TEST_F(FileMappingTest, TwoViewsOfOneFileAreIndependent) {
  const std::vector<char> bytes = Pattern(kFileSize, 4);
  const std::string path = WriteFile("two_views.bin", bytes);
  HANDLE file = OpenForReading(path);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  // One view through each of two mappings of the same file handle.
  HANDLE first = CreateFileMappingA(file, NULL, PAGE_READONLY, 0, 0, NULL);
  HANDLE second = CreateFileMappingA(file, NULL, PAGE_READONLY, 0, 0, NULL);
  ASSERT_NE(first, static_cast<HANDLE>(NULL));
  ASSERT_NE(second, static_cast<HANDLE>(NULL));
  EXPECT_NE(first, second);
  const char* a = static_cast<const char*>(MapViewOfFile(first, FILE_MAP_READ, 0, 0, 0));
  const char* b = static_cast<const char*>(MapViewOfFile(second, FILE_MAP_READ, 0, 0, 0));
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_NE(a, b);
  EXPECT_TRUE(CloseHandle(first));
  EXPECT_TRUE(CloseHandle(second));
  EXPECT_TRUE(CloseHandle(file));

  EXPECT_EQ(memcmp(a, bytes.data(), kFileSize), 0);
  EXPECT_EQ(memcmp(b, bytes.data(), kFileSize), 0);
  EXPECT_TRUE(UnmapViewOfFile(a));
  EXPECT_EQ(memcmp(b, bytes.data(), kFileSize), 0);  // still mapped after the other view is gone
  EXPECT_TRUE(UnmapViewOfFile(b));
}

TEST_F(FileMappingTest, AMappingOfPartOfTheFileBoundsItsViews) {
  const std::vector<char> bytes = Pattern(kFileSize, 5);
  const std::string path = WriteFile("part.bin", bytes);
  HANDLE file = OpenForReading(path);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  const DWORD mappingSize = 2 * kGranularity;
  HANDLE mapping = CreateFileMappingA(file, NULL, PAGE_READONLY, 0, mappingSize, NULL);
  ASSERT_NE(mapping, static_cast<HANDLE>(NULL));

  // Past the mapping's end, even though the file goes on.
  EXPECT_EQ(MapViewOfFile(mapping, FILE_MAP_READ, 0, kGranularity, kGranularity + 1), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  // Zero bytes: to the mapping's end.
  const char* tail = static_cast<const char*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, kGranularity, 0));
  ASSERT_NE(tail, nullptr);
  EXPECT_EQ(memcmp(tail, bytes.data() + kGranularity, kGranularity), 0);
  EXPECT_TRUE(UnmapViewOfFile(tail));
  EXPECT_TRUE(CloseHandle(mapping));

  // A read-only mapping cannot be larger than its file.
  const DWORD pastTheEnd = static_cast<DWORD>(kFileSize + 1);
  mapping = CreateFileMappingA(file, NULL, PAGE_READONLY, 0, pastTheEnd, NULL);
  EXPECT_EQ(mapping, static_cast<HANDLE>(NULL));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
  if (mapping != NULL) CloseHandle(mapping);
  EXPECT_TRUE(CloseHandle(file));
}

TEST_F(FileMappingTest, ViewOffsetsAreWholeGranules) {
  const std::string path = WriteFile("offsets.bin", Pattern(kFileSize, 6));
  HANDLE file = OpenForReading(path);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  HANDLE mapping = CreateFileMappingA(file, NULL, PAGE_READONLY, 0, 0, NULL);
  ASSERT_NE(mapping, static_cast<HANDLE>(NULL));
  EXPECT_EQ(MapViewOfFile(mapping, FILE_MAP_READ, 0, 4096, 100), nullptr);  // a page, not a granule
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MAPPED_ALIGNMENT));
  EXPECT_TRUE(CloseHandle(mapping));
  EXPECT_TRUE(CloseHandle(file));
}

TEST_F(FileMappingTest, HandlesOfTheWrongKindOrClosedAreRefused) {
  const std::string path = WriteFile("handles.bin", Pattern(kFileSize, 7));
  HANDLE file = OpenForReading(path);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  HANDLE mapping = CreateFileMappingA(file, NULL, PAGE_READONLY, 0, 0, NULL);
  ASSERT_NE(mapping, static_cast<HANDLE>(NULL));

  EXPECT_EQ(MapViewOfFile(file, FILE_MAP_READ, 0, 0, 0), nullptr);  // a file is not a mapping
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_EQ(MapViewOfFile(NULL, FILE_MAP_READ, 0, 0, 0), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_FALSE(CloseHandle(NULL));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));

  EXPECT_TRUE(CloseHandle(mapping));
  EXPECT_TRUE(CloseHandle(file));
  LARGE_INTEGER size;
  EXPECT_FALSE(GetFileSizeEx(file, &size));  // closed
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(FileMappingTest, OnlyViewsCanBeUnmapped) {
  const std::string path = WriteFile("unmap.bin", Pattern(kFileSize, 8));
  HANDLE file = OpenForReading(path);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  HANDLE mapping = CreateFileMappingA(file, NULL, PAGE_READONLY, 0, 0, NULL);
  ASSERT_NE(mapping, static_cast<HANDLE>(NULL));
  const char* view = static_cast<const char*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0));
  ASSERT_NE(view, nullptr);
  EXPECT_TRUE(CloseHandle(mapping));
  EXPECT_TRUE(CloseHandle(file));

  std::vector<char> ownMemory(16);
  EXPECT_FALSE(UnmapViewOfFile(ownMemory.data()));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_ADDRESS));
  EXPECT_TRUE(UnmapViewOfFile(view));
  EXPECT_FALSE(UnmapViewOfFile(view));  // already unmapped
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_ADDRESS));
}

}  // namespace
