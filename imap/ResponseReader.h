#pragma once

// Reads IMAP responses from the lines a transport gives (RFC 3501, section 9). A response is one
// line, or more when it holds literals: {n} ends a line and the n bytes that follow may hold
// line ends of their own. The reader gathers one response's lines, counting a literal's bytes
// as they come, and parses the whole once it is in.
//
// Every size is judged before it is waited for: a literal larger than maxLiteralBytes, or one
// that would take the response past maxResponseBytes, fails as soon as it is announced.
// Malformed bytes fail with a text quoting them. Nothing a server sends makes the reader crash,
// allocate past its bounds or wait for more than the response announced.

#include <cstddef>
#include <string>
#include <string_view>

#include "imap/ImapLimits.h"
#include "imap/Response.h"

namespace breezel::imap {

/// Turns lines into responses.
class ResponseReader {
public:
    /// What the line taken came to.
    enum class Step {
        More,    ///< the response goes on: take the next line
        Done,    ///< the response is whole: see response()
        Failed,  ///< the bytes break the protocol or a bound: see failure()
    };

    explicit ResponseReader(const ImapLimits& limits);

    /// Takes the next line as the transport gave it, LF included. After Done or Failed the next
    /// line begins a new response.
    Step take(std::string_view line);
    /// The response after Done; the caller may move it away.
    Response& response() { return response_; }
    /// The user's text after Failed.
    const std::string& failure() const { return failure_; }

private:
    Step finish();
    Step fail(std::string text);

    std::size_t maxLiteralBytes_;
    std::size_t maxResponseBytes_;
    std::string raw_;  // the response so far, as sent
    bool inProgress_ = false;
    std::size_t literalLeft_ = 0;  // bytes of the current literal still to come
    Response response_;
    std::string failure_;
};

}  // namespace breezel::imap
