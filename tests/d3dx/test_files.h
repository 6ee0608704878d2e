// Files the D3DX tests write for the functions under test to read: each test process gets its own fresh
// directory under the test temporary directory.
#pragma once

#include <stddef.h>

#include <string>
#include <vector>

namespace d3dx_test {

// Full path of `name` in this process's directory (created on first use).
std::string TestFilePath(const std::string& name);
// Writes the bytes to TestFilePath(name) and returns that path.
std::string WriteTestFile(const std::string& name, const void* data, size_t size);
std::string WriteTestFile(const std::string& name, const std::string& text);
std::string WriteTestFile(const std::string& name, const std::vector<unsigned char>& bytes);
// ASCII paths only, which is all the tests use.
std::wstring Widen(const std::string& text);

}  // namespace d3dx_test
