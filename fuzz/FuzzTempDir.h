#pragma once

// A private folder for the settings fuzzers' files, made once per process and removed at exit.

#include <cstddef>
#include <filesystem>
#include <string>

namespace breezel::fuzz {

/// The process's own temporary folder.
const std::filesystem::path& TempDir();

/// Writes bytes to path, replacing it; aborts on failure, which would make every check moot.
void WriteBytes(const std::filesystem::path& path, const unsigned char* data, std::size_t size);

/// Reads the whole file; aborts when it cannot.
std::string ReadBytes(const std::filesystem::path& path);

/// Stops the run with a message: libFuzzer then saves the input as a crash.
[[noreturn]] void Fail(const char* what);

}  // namespace breezel::fuzz
