#pragma once

// Which per-message requests are on the wire when the server allows pipelining (RFC 2449).
// A mail check walks messages 1..count asking, for each, the headers (TOP n 0), the size
// (LIST n) and the message (RETR n). The pipeline sends those three requests for a window of
// messages ahead in one write and remembers, in order, what is still unanswered; answers come
// back in the same order, so the head of the queue always names the next answer.

#include <deque>
#include <string>

namespace breezel::pop3 {

/// The per-message commands.
enum class RequestKind {
    Top,   ///< TOP n 0: the headers
    List,  ///< LIST n: the size
    Retr,  ///< RETR n: the whole message
};

/// One per-message request.
struct Request {
    RequestKind kind = RequestKind::Top;
    int number = 0;

    /// The command line, CRLF included.
    std::string command() const;

    bool operator==(const Request&) const = default;
};

/// The queue of pipelined requests sent and not yet answered, and the window ahead.
class RequestPipeline {
public:
    /// A pipeline over messages 1..count, window messages ahead (at least 1).
    RequestPipeline(int count, int window);

    /// True when every request sent has been answered.
    bool empty() const { return pending_.empty(); }
    /// The request whose answer comes next; only when not empty.
    const Request& head() const { return pending_.front(); }
    /// Marks the head's answer as read.
    void pop();

    /// Queues the three requests of messages first..first+window-1 (up to count); their bytes.
    std::string openWindow(int first);
    /// Queues one request outside any window; its bytes.
    std::string single(const Request& request);
    /// After message number's RETR answer: queues the next message beyond the window; bytes
    /// to send (empty when the window reached the last message or is not open).
    std::string refillAfter(int number);
    /// Forgets the window (after a caller left the expected order).
    void closeWindow() { nextToQueue_ = 0; }

private:
    std::string queueMessage(int number);

    int count_;
    int window_;
    int nextToQueue_ = 0;  // 0: no window open
    std::deque<Request> pending_;
};

}  // namespace breezel::pop3
