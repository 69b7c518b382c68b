#include "settings/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <system_error>

namespace breezel {

namespace {

namespace fs = std::filesystem;

// Follows a chain of symlinks to the file that should really be replaced; a
// dangling link yields its (not yet existing) target, which then gets created.
std::optional<fs::path> ResolveSymlinks(fs::path path) {
    constexpr int maxLinks = 40;  // same bound as the kernel's loop detection
    for (int i = 0; i < maxLinks; ++i) {
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
            return path;
        }
        std::error_code ec;
        fs::path target = fs::read_symlink(path, ec);
        if (ec) {
            return std::nullopt;
        }
        path = target.is_absolute() ? target : path.parent_path() / target;
    }
    return std::nullopt;
}

std::string UniqueSuffix() {
    static std::atomic<std::uint64_t> counter{0};
    std::uint64_t x =
        counter.fetch_add(1) ^
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
        (static_cast<std::uint64_t>(::getpid()) << 32);
    // splitmix64 finaliser, so successive names do not look alike
    x += 0x9E3779B97F4A7C15ULL;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
    x ^= x >> 31;
    static constexpr char alphabet[] =
        "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    std::string suffix;
    for (int i = 0; i < 6; ++i) {
        suffix += alphabet[x % 62];
        x /= 62;
    }
    return suffix;
}

bool WriteAll(int fd, std::string_view content) {
    while (!content.empty()) {
        const ssize_t written = ::write(fd, content.data(), content.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        content.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

// Makes the rename itself durable; a failure here does not undo the write.
void SyncFolder(const fs::path& file) {
    const fs::path folder = file.has_parent_path() ? file.parent_path() : fs::path(".");
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// A writer killed between creating its temporary file and the rename leaves that file behind;
// without this every such crash would add one for good. Only names of our own pattern for this
// target are touched, and only once they are a minute old, so a write in progress elsewhere
// keeps its file.
void RemoveStaleTemps(const fs::path& target) {
    const std::string prefix = target.filename().native() + ".tmp";
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    const auto limit = std::chrono::system_clock::now() - std::chrono::minutes(1);
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().native();
        if (name.size() != prefix.size() + 6 || name.compare(0, prefix.size(), prefix) != 0 ||
            !std::all_of(name.begin() + static_cast<std::ptrdiff_t>(prefix.size()), name.end(),
                         [](unsigned char c) { return std::isalnum(c) != 0; })) {
            continue;
        }
        struct stat info {};
        if (::lstat(it->path().c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
            std::chrono::system_clock::from_time_t(info.st_mtime) < limit) {
            ::unlink(it->path().c_str());
        }
    }
}

}  // namespace

bool WriteFileAtomically(const fs::path& path, std::string_view content, FileAccess access) {
    const std::optional<fs::path> resolved = ResolveSymlinks(path);
    if (!resolved || resolved->empty()) {
        return false;
    }
    const fs::path& target = *resolved;
    struct stat existing {};
    const bool exists = ::stat(target.c_str(), &existing) == 0;
    if (exists && S_ISDIR(existing.st_mode)) {
        return false;
    }

    // A new Default file is created 0666 so that the kernel applies the umask;
    // everything else starts private and is widened by fchmod before any byte is written.
    const bool ownerOnly = access == FileAccess::OwnerOnly;
    const mode_t createMode = (ownerOnly || exists) ? 0600 : 0666;
    std::string tempName;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        tempName = target.native() + ".tmp" + UniqueSuffix();
        fd = ::open(tempName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, createMode);
        if (fd < 0 && errno != EEXIST) {
            return false;
        }
    }
    if (fd < 0) {
        return false;
    }

    bool ok = true;
    if (exists) {
        // Best effort: keeps a file edited by an administrator owned by its user.
        [[maybe_unused]] const int ignored = ::fchown(fd, existing.st_uid, existing.st_gid);
    }
    if (ownerOnly) {
        ok = ::fchmod(fd, 0600) == 0;
    } else if (exists) {
        ok = ::fchmod(fd, existing.st_mode & 07777) == 0;
    }
    ok = ok && WriteAll(fd, content) && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    ok = ok && ::rename(tempName.c_str(), target.c_str()) == 0;
    if (!ok) {
        ::unlink(tempName.c_str());
        return false;
    }
    SyncFolder(target);
    RemoveStaleTemps(target);
    return true;
}

std::optional<std::string> ReadWholeFile(const fs::path& path) {
    // O_NONBLOCK keeps a FIFO put in place of a settings file from hanging us.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return std::nullopt;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return std::nullopt;
    }
    std::string bytes;
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            ::close(fd);
            return std::nullopt;
        }
        if (got == 0) {
            break;
        }
        bytes.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(fd);
    return bytes;
}

}  // namespace breezel
