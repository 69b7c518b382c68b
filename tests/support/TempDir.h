#pragma once

// A fresh folder per test, removed again afterwards, with the small file
// helpers tests use to set up and check files byte for byte. Shared by the
// tests of other areas too (through tests/support), so keep the names stable.

#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace breezel {

class TempDir {
public:
    TempDir() {
        std::string name = (std::filesystem::temp_directory_path() / "breezel-XXXXXX").string();
        if (::mkdtemp(name.data()) != nullptr) {
            path_ = name;
        }
    }
    ~TempDir() {
        // Tests lock folders down; open them up again so that they can be removed.
        ::chmod(path_.c_str(), 0700);
        std::error_code ec;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(path_, ec)) {
            ::chmod(entry.path().c_str(), 0700);
        }
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }
    const std::filesystem::path& path() const { return path_; }

    static std::string Read(const std::filesystem::path& file) {
        std::ifstream in(file, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    static void Write(const std::filesystem::path& file, const std::string& bytes) {
        std::ofstream(file, std::ios::binary) << bytes;
    }
    static unsigned Mode(const std::filesystem::path& file) {
        struct stat info {};
        ::stat(file.c_str(), &info);
        return info.st_mode & 07777;
    }
    static std::ptrdiff_t Entries(const std::filesystem::path& folder) {
        std::error_code ec;
        return std::distance(std::filesystem::directory_iterator(folder, ec),
                             std::filesystem::directory_iterator());
    }

private:
    std::filesystem::path path_;
};

}  // namespace breezel
