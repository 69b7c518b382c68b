#pragma once

// A password, an access or refresh token, a PKCE verifier: text that must never reach a log, a
// box, a command line or an exception message. A Secret has no conversion to a string, no
// stream output and no concatenation, so printing one by accident does not compile; its text is
// read through reveal() only where it goes on the wire or into the keyring. Its memory is
// cleared when it goes.

#include <algorithm>
#include <iosfwd>
#include <string>
#include <utility>

namespace breezel {

class Secret {
public:
    Secret() = default;
    // Text may become a secret freely; only the way out is guarded.
    Secret(std::string text) : text_(std::move(text)) {}  // NOLINT(google-explicit-constructor)
    Secret(const char* text) : text_(text) {}             // NOLINT(google-explicit-constructor)
    Secret(const Secret&) = default;
    Secret(Secret&& other) noexcept : text_(std::move(other.text_)) { other.wipe(); }
    Secret& operator=(const Secret& other) {
        if (this != &other) {
            wipe();
            text_ = other.text_;
        }
        return *this;
    }
    Secret& operator=(Secret&& other) noexcept {
        if (this != &other) {
            wipe();
            text_ = std::move(other.text_);
            other.wipe();
        }
        return *this;
    }
    ~Secret() { wipe(); }

    bool empty() const { return text_.empty(); }
    /// The text itself: only where it goes on the wire or into the keyring.
    const std::string& reveal() const { return text_; }

    bool operator==(const Secret& other) const = default;

private:
    void wipe() {
        // volatile, so that the compiler keeps the stores although the text goes next.
        volatile char* bytes = text_.data();
        std::fill_n(bytes, text_.size(), '\0');
        text_.clear();
    }

    std::string text_;
};

// Not printable, not even by a stream or a test's failure message.
std::ostream& operator<<(std::ostream&, const Secret&) = delete;

}  // namespace breezel
