#include "pop3/RequestPipeline.h"

#include <algorithm>

namespace breezel::pop3 {

std::string Request::command() const {
    const std::string n = std::to_string(number);
    switch (kind) {
        case RequestKind::Top:
            return "TOP " + n + " 0\r\n";
        case RequestKind::List:
            return "LIST " + n + "\r\n";
        case RequestKind::Retr:
            return "RETR " + n + "\r\n";
    }
    return {};
}

RequestPipeline::RequestPipeline(int count, int window)
    : count_(count), window_(std::max(window, 1)) {}

void RequestPipeline::pop() {
    pending_.pop_front();
}

std::string RequestPipeline::openWindow(int first) {
    std::string bytes;
    const int last = first > count_ - window_ ? count_ : first + window_ - 1;
    for (int n = first; n <= last; ++n) {
        bytes += queueMessage(n);
    }
    nextToQueue_ = last + 1;
    return bytes;
}

std::string RequestPipeline::single(const Request& request) {
    pending_.push_back(request);
    return request.command();
}

std::string RequestPipeline::refillAfter(int number) {
    // Only the RETR that ends a windowed message moves the window; the window is window_
    // messages wide, so that message is nextToQueue_ - window_.
    if (nextToQueue_ == 0 || nextToQueue_ > count_ || number != nextToQueue_ - window_) {
        return {};
    }
    return queueMessage(nextToQueue_++);
}

std::string RequestPipeline::queueMessage(int number) {
    std::string bytes;
    for (const RequestKind kind : {RequestKind::Top, RequestKind::List, RequestKind::Retr}) {
        const Request request{kind, number};
        pending_.push_back(request);
        bytes += request.command();
    }
    return bytes;
}

}  // namespace breezel::pop3
