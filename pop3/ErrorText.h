#pragma once

// The texts of POP3's own failures; those of every protocol are in net/ErrorText.h.

#include <string>

#include "net/ErrorText.h"

namespace breezel::pop3 {

/// A message number outside 1..count.
std::string BadMessageNumberText(int number);

/// APOP asked for, but the greeting had no timestamp.
std::string ApopWithoutTimestampText();

/// A multi-line response with more lines than allowed.
std::string TooManyLinesText();

}  // namespace breezel::pop3
