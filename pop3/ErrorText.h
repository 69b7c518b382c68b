#pragma once

// The texts of POP3's own failures; those of every protocol are in net/ErrorText.h.

#include <cstdint>
#include <string>
#include <string_view>

#include "net/ErrorText.h"

namespace breezel::pop3 {

/// A greeting that was -ERR: the server turned us away.
std::string GreetingRefusedText(std::string_view serverText);

/// A message number outside 1..count.
std::string BadMessageNumberText(int number);

/// APOP asked for, but the greeting had no timestamp.
std::string ApopWithoutTimestampText();

/// The server offered STLS and then refused it.
std::string StlsRefusedText(std::string_view serverText);

/// A multi-line response with more lines than allowed.
std::string TooManyLinesText();

/// A multi-line response larger than allowed.
std::string TooManyBytesText(std::uint64_t limit);

}  // namespace breezel::pop3
