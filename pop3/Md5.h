#pragma once

// MD5 message digest (RFC 1321), needed only for the APOP login of RFC 1939. MD5 is broken as
// a general hash; APOP uses it because the protocol says so, never for anything else here.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace breezel::pop3 {

/// Incremental MD5: feed bytes with update(), then take the digest once.
class Md5 {
public:
    Md5();

    /// Adds bytes to the message.
    void update(std::string_view bytes);
    /// The 16-byte digest of everything added; the object must not be used afterwards.
    std::array<std::uint8_t, 16> finish();

    /// The digest of bytes as 32 lowercase hex digits.
    static std::string hex(std::string_view bytes);

private:
    void transform(const std::uint8_t* block);

    std::array<std::uint32_t, 4> state_;
    std::array<std::uint8_t, 64> buffer_{};
    std::uint64_t length_ = 0;
};

}  // namespace breezel::pop3
