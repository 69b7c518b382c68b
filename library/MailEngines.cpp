#include "library/MailEngines.h"

#include "net/ServerAddress.h"

namespace breezel {

MailEngines::MailEngines(MailLibrary& pop3, MailLibrary& imap)
    : pop3_(pop3), imap_(imap), last_(&pop3) {}

int MailEngines::NMailInitializeWinSock() {
    imap_.NMailInitializeWinSock();
    return pop3_.NMailInitializeWinSock();
}

int MailEngines::NMailSetOption(int option, int value) {
    imap_.NMailSetOption(option, value);
    return pop3_.NMailSetOption(option, value);
}

int MailEngines::NMailEndWinSock() {
    imap_.NMailEndWinSock();
    return pop3_.NMailEndWinSock();
}

MailEngines::Route MailEngines::route(int handle) {
    const auto found = routes_.find(handle);
    const Route route = found != routes_.end() ? found->second : Route{&pop3_, handle};
    last_ = route.engine;
    return route;
}

Task<int> MailEngines::NMailPop3Connect(net::Mailbox mailbox) {
    const bool imap = mailbox.address && mailbox.address->protocol == net::Protocol::Imap;
    MailLibrary& engine = imap ? imap_ : pop3_;
    last_ = &engine;
    const int inner = co_await engine.NMailPop3Connect(std::move(mailbox));
    if (inner == -1) {
        co_return -1;
    }
    // Handles of our own: the two engines count theirs each from 1.
    do {
        lastHandle_ = lastHandle_ == 0x7FFFFFFF ? 1 : lastHandle_ + 1;
    } while (routes_.count(lastHandle_) != 0);
    routes_[lastHandle_] = Route{&engine, inner};
    co_return lastHandle_;
}

Task<int> MailEngines::NMailPop3Authenticate(int handle, std::string id, net::Credential credential,
                                             int apop) {
    const Route r = route(handle);
    return r.engine->NMailPop3Authenticate(r.handle, std::move(id), std::move(credential), apop);
}

Task<int> MailEngines::NMailPop3GetMailStatus(int handle, int number, MailTexts& texts, int flag) {
    const Route r = route(handle);
    return r.engine->NMailPop3GetMailStatus(r.handle, number, texts, flag);
}

Task<int> MailEngines::NMailPop3GetMailSize(int handle, int number) {
    const Route r = route(handle);
    return r.engine->NMailPop3GetMailSize(r.handle, number);
}

Task<int> MailEngines::NMailPop3GetMail(int handle, int number, MailTexts& texts, int flag1,
                                        int flag2) {
    const Route r = route(handle);
    return r.engine->NMailPop3GetMail(r.handle, number, texts, flag1, flag2);
}

Task<int> MailEngines::NMailPop3Close(int handle) {
    const Route r = route(handle);
    routes_.erase(handle);
    return r.engine->NMailPop3Close(r.handle);
}

bool MailEngines::NMailPop3Connected(int handle) {
    const Route r = route(handle);
    return r.engine->NMailPop3Connected(r.handle);
}

bool MailEngines::countsOnly(int handle) {
    const Route r = route(handle);
    return r.engine->countsOnly(r.handle);
}

bool MailEngines::loginRefused(int handle) {
    const Route r = route(handle);
    return r.engine->loginRefused(r.handle);
}

std::string MailEngines::NMailGetMessage(int code) {
    return last_->NMailGetMessage(code);
}

}  // namespace breezel
