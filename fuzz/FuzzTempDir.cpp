#include "FuzzTempDir.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

namespace breezel::fuzz {

namespace {

struct Dir {
    std::filesystem::path path;
    Dir() {
        // Memory-backed when there is one: every write fsyncs, which on disk costs most of
        // the run.
        std::error_code ec;
        const std::filesystem::path base = std::filesystem::is_directory("/dev/shm", ec)
                                               ? std::filesystem::path("/dev/shm")
                                               : std::filesystem::temp_directory_path();
        std::string pattern = (base / "breezel-fuzz-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            Fail("cannot make a temporary folder");
        }
        path = pattern;
    }
    ~Dir() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
};

}  // namespace

const std::filesystem::path& TempDir() {
    static const Dir dir;
    return dir.path;
}

void WriteBytes(const std::filesystem::path& path, const unsigned char* data, std::size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    out.close();
    if (!out) {
        Fail("cannot write the input file");
    }
}

std::string ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        Fail("cannot read back the file");
    }
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void Fail(const char* what) {
    std::fprintf(stderr, "FUZZ CHECK FAILED: %s\n", what);
    std::abort();
}

}  // namespace breezel::fuzz
