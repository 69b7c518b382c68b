#include "imap/ImapChannel.h"

#include <algorithm>

#include "net/Connect.h"
#include "net/ErrorText.h"

namespace breezel::imap {

namespace {

SessionLimits IdleBounds(const ImapLimits& limits) {
    SessionLimits idle = limits;
    idle.lowSpeedBytes = 0;
    idle.sessionTimeout = limits.idleKeepAlive;
    return idle;
}

}  // namespace

ImapChannel::ImapChannel(std::unique_ptr<Transport> transport, ImapLimits limits,
                         UntaggedSink& untagged)
    : limits_(limits),
      pace_(limits_),
      idlePace_(IdleBounds(limits_)),
      transport_(std::move(transport)),
      reader_(limits_),
      untagged_(untagged) {}

Task<TransportStatus> ImapChannel::connect(std::string host, std::uint16_t port, bool tls) {
    return transport_->connect(std::move(host), port, tls, limits_.connectTimeout, pace_);
}

std::string ImapChannel::newTag() {
    std::string tag = "a";
    tag += std::to_string(++lastTag_);
    due_.push_back(tag);
    return tag;
}

std::string ImapChannel::command(std::string_view text, std::string& tag) {
    tag = newTag();
    return tag + " " + std::string(text) + "\r\n";
}

LinkFault ImapChannel::send(std::string_view bytes) {
    return net::Send(*transport_, bytes);
}

Task<LinkFault> ImapChannel::read(Response& response, std::chrono::milliseconds timeout) {
    return readWith(response, timeout, pace_);
}

Task<LinkFault> ImapChannel::answerOf(const std::string& tag, Response& answer, bool continuation) {
    for (auto it = early_.begin(); it != early_.end(); ++it) {
        if (it->tag == tag) {
            answer = std::move(*it);
            early_.erase(it);
            co_return std::nullopt;
        }
    }
    for (;;) {
        Response response;
        if (auto fault = co_await read(response)) {
            co_return fault;
        }
        switch (response.kind) {
            case Response::Kind::Continuation:
                if (!continuation) {
                    co_return ProtocolErrorText(response.opening);
                }
                answer = std::move(response);
                co_return std::nullopt;
            case Response::Kind::Tagged:
                if (response.tag == tag) {
                    answer = std::move(response);
                    co_return std::nullopt;
                }
                early_.push_back(std::move(response));  // read() knows it is due
                break;
            case Response::Kind::Untagged:
                if (auto fault = untagged_.absorb(response)) {
                    co_return fault;
                }
                break;
        }
    }
}

Task<LinkFault> ImapChannel::readIdle(Response& response) {
    return readWith(response, limits_.idleKeepAlive, idlePace_);
}

Task<LinkFault> ImapChannel::readWith(Response& response, std::chrono::milliseconds timeout,
                                      Pace& pace) {
    idleExpired_ = false;
    for (;;) {
        const TransportStatus status =
            co_await transport_->readLine(line_, limits_.maxLineBytes, timeout, pace);
        if (!status.ok()) {
            idleExpired_ = &pace == &idlePace_ && status.code == TransportCode::Timeout;
            co_return LinkFailureText(status);
        }
        switch (reader_.take(line_)) {
            case ResponseReader::Step::More:
                continue;
            case ResponseReader::Step::Failed:
                co_return reader_.failure();
            case ResponseReader::Step::Done:
                break;
        }
        response = std::move(reader_.response());
        if (!response.typeData()) {
            co_return ProtocolErrorText(response.opening);
        }
        if (response.kind == Response::Kind::Tagged) {
            const auto due = std::find(due_.begin(), due_.end(), response.tag);
            if (due == due_.end()) {
                co_return ProtocolErrorText(response.opening);
            }
            due_.erase(due);
        }
        co_return std::nullopt;
    }
}

Task<LinkFault> ImapChannel::startTls(std::string host) {
    return UpgradeToTls(*transport_, std::move(host), limits_.connectTimeout);
}

void ImapChannel::close() {
    transport_->close();
}

}  // namespace breezel::imap
