#include "forms/FileTitle.h"

#include "common/Utf8.h"

namespace breezel {

namespace {
// Room for 249 characters and the terminating NUL.
constexpr std::size_t kTitleBufferChars = 250;
}  // namespace

std::string FileTitle(std::string_view path) {
    const auto slash = path.find_last_of('/');
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    if (name.empty()) {
        return {};
    }
    // A title that does not fit leaves the buffer untouched, that is empty.
    if (Utf8PrefixChars(name, kTitleBufferChars - 1).size() != name.size()) {
        return {};
    }
    return std::string(name);
}

}  // namespace breezel
