#include "test_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

namespace d3dx_test {

std::string TestFilePath(const std::string& name) {
  static const std::filesystem::path directory = [] {
    std::filesystem::path path =
        std::filesystem::path(::testing::TempDir()) / ("d3dx_tests_" + std::to_string(std::random_device()()));
    std::filesystem::create_directories(path);
    return path;
  }();
  return (directory / name).string();
}

std::string WriteTestFile(const std::string& name, const void* data, size_t size) {
  const std::string path = TestFilePath(name);
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
  EXPECT_TRUE(file.good()) << "cannot write " << path;
  return path;
}

std::string WriteTestFile(const std::string& name, const std::string& text) {
  return WriteTestFile(name, text.data(), text.size());
}

std::string WriteTestFile(const std::string& name, const std::vector<unsigned char>& bytes) {
  return WriteTestFile(name, bytes.data(), bytes.size());
}

std::wstring Widen(const std::string& text) { return std::wstring(text.begin(), text.end()); }

}  // namespace d3dx_test
