#include "imap/ResponseReader.h"

#include <cstdint>
#include <limits>
#include <optional>
#include <utility>
#include <vector>

#include "common/AsciiText.h"
#include "net/ErrorText.h"

namespace breezel::imap {

namespace {

// Deeper lists than any response of ours holds; the bound keeps the parser's stack small.
constexpr int kMaxDepth = 32;
// Enough for an excerpt of 80 characters and its "...".
constexpr std::size_t kOpeningBytes = 100;

bool IsStatusName(std::string_view word) {
    for (const std::string_view name : {"OK", "NO", "BAD", "PREAUTH", "BYE"}) {
        if (ascii::EqualNoCase(word, name)) {
            return true;
        }
    }
    return false;
}

// A continuation or a status response: its text runs to the line end, so a "{5}" there is
// text and not a literal.
bool IsTextLine(std::string_view line) {
    if (!line.empty() && line.front() == '+') {
        return true;
    }
    const auto blank = line.find(' ');
    if (blank == std::string_view::npos) {
        return false;
    }
    const std::string_view rest = line.substr(blank + 1);
    return IsStatusName(rest.substr(0, rest.find_first_of(" \r\n")));
}

// The n of a "{n}" that ends the line; larger than any bound when it has too many digits.
std::optional<std::uint64_t> LiteralAtEnd(std::string_view line) {
    if (!line.empty() && line.back() == '\n') {
        line.remove_suffix(1);
    }
    if (!line.empty() && line.back() == '\r') {
        line.remove_suffix(1);
    }
    if (line.empty() || line.back() != '}') {
        return std::nullopt;
    }
    const auto open = line.rfind('{');
    if (open == std::string_view::npos || open + 2 == line.size()) {
        return std::nullopt;
    }
    const std::string_view digits = line.substr(open + 1, line.size() - open - 2);
    std::uint64_t n = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        n = n > (std::numeric_limits<std::uint64_t>::max() - 9) / 10
                ? std::numeric_limits<std::uint64_t>::max()
                : n * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return n;
}

// Parses one whole response (RFC 3501, section 9), leniently where servers commonly stray
// (no text after OK, a blank before the line end) and strictly where a slip would shift
// what follows (strings, literals, lists).
class Parser {
public:
    explicit Parser(std::string_view bytes) : s_(bytes) {}

    bool parse(Response& r) {
        if (peek() == '+') {
            r.kind = Response::Kind::Continuation;
            ++pos_;
            return text(r);
        }
        std::string_view tag = word();
        if (tag.empty() || !skip(' ')) {
            return false;
        }
        for (const char c : tag) {
            const auto byte = static_cast<unsigned char>(c);
            if (byte < 0x21 || byte > 0x7E || c == '(' || c == ')' || c == '{' || c == '"') {
                return false;
            }
        }
        const bool tagged = tag != "*";
        r.kind = tagged ? Response::Kind::Tagged : Response::Kind::Untagged;
        if (tagged) {
            r.tag = std::string(tag);
        }
        std::string_view name = word();
        if (!tagged && !name.empty() && name.front() >= '0' && name.front() <= '9') {
            r.number = ParseNumber(name);
            if (!r.number || !skip(' ')) {
                return false;
            }
            name = word();
        }
        if (name.empty()) {
            return false;
        }
        for (const char c : name) {
            const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
            if (!letter && !(c >= '0' && c <= '9') && c != '-' && c != '_' && c != '.') {
                return false;
            }
        }
        r.name = ascii::Upper(name);
        if (r.isStatus()) {
            const bool untaggedOnly = r.name == "PREAUTH" || r.name == "BYE";
            return !(tagged && untaggedOnly) && !r.number && text(r);
        }
        return !tagged && items(r.values, 0, false) && atEnd();
    }

private:
    char peek() const { return pos_ < s_.size() ? s_[pos_] : '\n'; }

    bool skip(char c) {
        if (pos_ < s_.size() && s_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }

    // The response's last bytes: CRLF or a bare LF.
    bool atEnd() const {
        const std::string_view rest = s_.substr(pos_);
        return rest == "\r\n" || rest == "\n";
    }

    bool atLineEnd() const { return peek() == '\r' || peek() == '\n'; }

    std::string_view word() {
        const std::size_t start = pos_;
        while (pos_ < s_.size() && s_[pos_] != ' ' && s_[pos_] != '\r' && s_[pos_] != '\n') {
            ++pos_;
        }
        return s_.substr(start, pos_ - start);
    }

    // The text of a status response or a continuation, as sent, and its [code] if any.
    bool text(Response& r) {
        if ((!atLineEnd() && !skip(' ')) || s_.back() != '\n') {
            return false;
        }
        const std::size_t end = s_.size() - (s_.size() >= 2 && s_[s_.size() - 2] == '\r' ? 2 : 1);
        if (end < pos_) {
            return false;
        }
        r.text = std::string(s_.substr(pos_, end - pos_));
        if (r.kind == Response::Kind::Continuation || r.text.empty() || r.text.front() != '[') {
            return true;
        }
        const auto close = r.text.find(']');
        if (close == std::string::npos || close == 1) {
            return false;
        }
        const std::string_view inside = std::string_view(r.text).substr(1, close - 1);
        const auto blank = inside.find(' ');
        r.code = ascii::Upper(inside.substr(0, blank));
        if (blank != std::string_view::npos) {
            r.codeText = std::string(inside.substr(blank + 1));
        }
        return true;
    }

    // Values up to the line end (top level) or the list's ")", each after a blank except a
    // list's first.
    bool items(std::vector<Value>& out, int depth, bool inList) {
        for (bool first = true;; first = false) {
            if (inList && skip(')')) {
                return true;
            }
            if (!inList && atLineEnd()) {
                return true;
            }
            if (!(inList && first) && !skip(' ')) {
                return false;
            }
            if (!inList && atLineEnd()) {
                return true;  // a blank before the line end
            }
            Value& v = out.emplace_back();
            if (!value(v, depth)) {
                return false;
            }
        }
    }

    bool value(Value& v, int depth) {
        switch (peek()) {
            case '(':
                if (depth == kMaxDepth) {
                    return false;
                }
                ++pos_;
                v.kind = Value::Kind::List;
                return items(v.items, depth + 1, true);
            case '"':
                v.kind = Value::Kind::String;
                return quoted(v.text);
            case '{':
                v.kind = Value::Kind::String;
                return literal(v.text);
            default:
                return atom(v);
        }
    }

    bool quoted(std::string& out) {
        ++pos_;
        while (pos_ < s_.size()) {
            const char c = s_[pos_++];
            if (c == '"') {
                return true;
            }
            if (c == '\r' || c == '\n' || c == '\0') {
                return false;
            }
            if (c == '\\') {
                const char escaped = peek();
                if (escaped != '"' && escaped != '\\') {
                    return false;
                }
                ++pos_;
                out += escaped;
            } else {
                out += c;
            }
        }
        return false;
    }

    // "{n}" CRLF and n bytes; the reader has already made sure the bytes are there.
    bool literal(std::string& out) {
        ++pos_;
        const std::size_t close = s_.find('}', pos_);
        if (close == std::string_view::npos) {
            return false;
        }
        const auto n = ParseNumber(s_.substr(pos_, close - pos_));
        pos_ = close + 1;
        skip('\r');
        if (!n || !skip('\n') || *n > s_.size() - pos_) {
            return false;
        }
        out = std::string(s_.substr(pos_, *n));
        pos_ += *n;
        return true;
    }

    // Anything up to a blank, a parenthesis or a line end; a "[...]" inside belongs to it
    // whatever it holds ("BODY[HEADER.FIELDS (SUBJECT)]").
    bool atom(Value& v) {
        const std::size_t start = pos_;
        while (pos_ < s_.size()) {
            const char c = s_[pos_];
            const auto byte = static_cast<unsigned char>(c);
            if (c == '[') {
                const std::size_t close = s_.find_first_of("]\r\n", pos_);
                if (close == std::string_view::npos || s_[close] != ']') {
                    return false;
                }
                pos_ = close + 1;
                continue;
            }
            if (c == ' ' || c == '(' || c == ')' || c == '{' || c == '"' || byte < 0x20 ||
                byte == 0x7F) {
                break;
            }
            ++pos_;
        }
        if (pos_ == start) {
            return false;
        }
        v.text = std::string(s_.substr(start, pos_ - start));
        v.kind = ascii::EqualNoCase(v.text, "NIL") ? Value::Kind::Nil : Value::Kind::Atom;
        return true;
    }

    std::string_view s_;
    std::size_t pos_ = 0;
};

}  // namespace

ResponseReader::ResponseReader(const ImapLimits& limits)
    : maxLiteralBytes_(limits.maxLiteralBytes), maxResponseBytes_(limits.maxResponseBytes) {}

ResponseReader::Step ResponseReader::take(std::string_view line) {
    const bool first = !inProgress_;
    if (first) {
        raw_.clear();
        literalLeft_ = 0;
        inProgress_ = true;
    }
    if (line.size() > maxResponseBytes_ - raw_.size()) {
        return fail(TooManyBytesText(maxResponseBytes_));
    }
    raw_ += line;
    if (first && IsTextLine(line)) {
        return finish();
    }
    std::string_view rest = line;
    if (literalLeft_ > 0) {
        const std::size_t n = std::min(literalLeft_, rest.size());
        literalLeft_ -= n;
        rest.remove_prefix(n);
        if (literalLeft_ > 0 || rest.empty()) {
            return Step::More;
        }
    }
    if (const auto n = LiteralAtEnd(rest)) {
        if (*n > maxLiteralBytes_) {
            return fail(TooManyBytesText(maxLiteralBytes_));
        }
        if (*n > maxResponseBytes_ - raw_.size()) {
            return fail(TooManyBytesText(maxResponseBytes_));
        }
        literalLeft_ = static_cast<std::size_t>(*n);
        return Step::More;
    }
    return finish();
}

ResponseReader::Step ResponseReader::finish() {
    inProgress_ = false;
    response_ = Response{};
    if (!Parser(raw_).parse(response_)) {
        return fail(ProtocolErrorText(raw_));
    }
    response_.opening = raw_.substr(0, kOpeningBytes);
    return Step::Done;
}

ResponseReader::Step ResponseReader::fail(std::string text) {
    inProgress_ = false;
    failure_ = std::move(text);
    return Step::Failed;
}

}  // namespace breezel::imap
