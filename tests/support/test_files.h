// Files on disk for tests: a fresh folder per test, and whole files as byte strings.
#pragma once

#include <initializer_list>
#include <string>

// A new empty folder under the system's temporary folder; removed with RemoveTree.
std::string MakeTempDir();
void RemoveTree(const std::string& path);

void WriteBytes(const std::string& path, const std::string& bytes);
std::string ReadBytes(const std::string& path);
bool FileExists(const std::string& path);

// Bytes from their values: Bytes({0xEF, 0xBB, 0xBF}).
std::string Bytes(std::initializer_list<int> values);

// "EF BB BF" style rendering, for readable failure messages.
std::string Hex(const std::string& bytes);
