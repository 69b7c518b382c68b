#include "imap/Response.h"

#include "common/AsciiText.h"
#include "net/Syntax.h"

namespace breezel::imap {

bool Value::isAtom(std::string_view name) const {
    return kind == Kind::Atom && ascii::EqualNoCase(text, name);
}

std::optional<std::uint32_t> Value::number() const {
    return kind == Kind::Atom ? ParseNumber(text) : std::nullopt;
}

bool Response::isStatus() const {
    return kind != Kind::Continuation &&
           (name == "OK" || name == "NO" || name == "BAD" || name == "PREAUTH" || name == "BYE");
}

std::optional<std::uint32_t> ParseNumber(std::string_view text) {
    const auto n = net::ParseDecimal(text, UINT32_MAX);
    return n ? std::optional<std::uint32_t>(static_cast<std::uint32_t>(*n)) : std::nullopt;
}

Capabilities Capabilities::of(const std::vector<std::string_view>& words) {
    Capabilities caps;
    for (const std::string_view word : words) {
        const auto is = [word](std::string_view name) { return ascii::EqualNoCase(word, name); };
        caps.startTls = caps.startTls || is("STARTTLS");
        caps.loginDisabled = caps.loginDisabled || is("LOGINDISABLED");
        caps.authPlain = caps.authPlain || is("AUTH=PLAIN");
        caps.authXOAuth2 = caps.authXOAuth2 || is("AUTH=XOAUTH2");
        caps.authOAuthBearer = caps.authOAuthBearer || is("AUTH=OAUTHBEARER");
        caps.saslIr = caps.saslIr || is("SASL-IR");
        caps.literalPlus = caps.literalPlus || is("LITERAL+");
        caps.literalMinus = caps.literalMinus || is("LITERAL-");
        caps.idle = caps.idle || is("IDLE");
        caps.esearch = caps.esearch || is("ESEARCH");
        caps.notify = caps.notify || is("NOTIFY");
    }
    return caps;
}

namespace {

// The value after name in a list of name and value pairs that starts at from.
const Value* ValueOf(const std::vector<Value>& pairs, std::string_view name, std::size_t from = 0) {
    for (std::size_t i = from; i + 1 < pairs.size(); i += 2) {
        if (pairs[i].isAtom(name)) {
            return &pairs[i + 1];
        }
    }
    return nullptr;
}

// The number after name among pairs, if there is one; false when it is not a number.
bool NumberOf(const std::vector<Value>& pairs, std::string_view name,
              std::optional<std::uint32_t>& number) {
    const Value* value = ValueOf(pairs, name);
    if (value != nullptr) {
        number = value->number();
    }
    return value == nullptr || number.has_value();
}

bool IsMailboxName(const Value& v) {
    return v.kind == Value::Kind::Atom || v.kind == Value::Kind::String;
}

}  // namespace

bool Response::typeData() {
    data = Data{};
    const bool untagged = kind == Kind::Untagged;
    if (isStatus()) {
        if (name == "BYE") {
            data.kind = Data::Kind::Bye;
        } else if (code == "CAPABILITY") {
            data.kind = Data::Kind::Capability;
            data.capabilities = Capabilities::of(net::Words(codeText));
        } else if (untagged && code == "ALERT") {
            data.kind = Data::Kind::Alert;
        } else if (untagged && (code == "UIDVALIDITY" || code == "UIDNEXT")) {
            data.kind = code == "UIDNEXT" ? Data::Kind::UidNext : Data::Kind::UidValidity;
            const auto n = ParseNumber(codeText);
            data.number = n.value_or(0);
            return n.has_value();
        }
        return true;
    }
    if (!untagged) {
        return true;
    }
    if (name == "CAPABILITY") {
        std::vector<std::string_view> words;
        for (const Value& v : values) {
            words.push_back(v.text);
        }
        data.kind = Data::Kind::Capability;
        data.capabilities = Capabilities::of(words);
    } else if (name == "EXISTS" || name == "EXPUNGE") {
        data.kind = name == "EXISTS" ? Data::Kind::Exists : Data::Kind::Expunge;
        data.number = number.value_or(0);
        return number.has_value();
    } else if (name == "STATUS" && values.size() == 2 && IsMailboxName(values[0])) {
        data.kind = Data::Kind::Status;
        data.mailbox = values[0].text;
        const auto& items = values[1].items;
        return NumberOf(items, "MESSAGES", data.messages) &&
               NumberOf(items, "UNSEEN", data.unseen) && NumberOf(items, "UIDNEXT", data.uidNext);
    } else if (name == "ESEARCH" && !values.empty()) {
        // (TAG "aN"), UID perhaps, then result pairs; without COUNT, none matched.
        const Value* tag = ValueOf(values.front().items, "TAG");
        if (tag == nullptr) {
            return true;
        }
        data.kind = Data::Kind::ESearch;
        data.tag = tag->text;
        const Value* count =
            ValueOf(values, "COUNT", values.size() > 1 && values[1].isAtom("UID") ? 2 : 1);
        const auto n = count != nullptr ? count->number() : std::optional<std::uint32_t>(0);
        data.number = n.value_or(0);
        return n.has_value();
    }
    return true;
}

}  // namespace breezel::imap
