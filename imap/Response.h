#pragma once

// One server response as a value (RFC 3501, section 7): what the reader makes of the bytes and
// what the session looks at. Text the server meant for people stays as sent; the data of every
// other response is tokens: atoms, strings (quoted or literal), NIL and nested lists.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace breezel::imap {

/// One token of a response's data.
struct Value {
    enum class Kind {
        Atom,    ///< a word or number, as sent ("EXISTS", "\Seen", "BODY[TEXT]")
        String,  ///< a quoted string (escapes resolved) or a literal's bytes
        Nil,     ///< NIL
        List,    ///< a parenthesised list of values
    };
    Kind kind = Kind::Atom;
    /// An atom's or a string's bytes.
    std::string text;
    /// A list's values.
    std::vector<Value> items;

    /// An atom equal to name, ASCII letters compared without case.
    bool isAtom(std::string_view name) const;
    /// The number an atom holds (0 to 2^32-1), or nothing.
    std::optional<std::uint32_t> number() const;
};

/// The capabilities that change what a session does.
struct Capabilities {
    bool startTls = false;
    bool loginDisabled = false;
    bool authPlain = false;
    bool authXOAuth2 = false;
    bool authOAuthBearer = false;
    bool saslIr = false;
    bool literalPlus = false;
    bool literalMinus = false;
    bool idle = false;
    bool esearch = false;
    bool notify = false;

    /// Those among the capability names in words.
    static Capabilities of(const std::vector<std::string_view>& words);
};

/// What a response tells that a session acts on, typed once as it is read.
struct Data {
    enum class Kind {
        None,         ///< nothing a session acts on (FLAGS, FETCH, RECENT, a plain OK ...)
        Bye,          ///< BYE: the server ends the session
        Alert,        ///< an untagged [ALERT]: text for the user
        Capability,   ///< CAPABILITY data or code: capabilities
        UidValidity,  ///< an untagged [UIDVALIDITY n]: number
        UidNext,      ///< an untagged [UIDNEXT n]: number
        Exists,       ///< n EXISTS: number
        Expunge,      ///< n EXPUNGE: number
        Status,       ///< STATUS: mailbox, and those of messages, unseen, uidNext it gave
        ESearch,      ///< ESEARCH for tag: number is its COUNT (0 when it has none)
    };
    Kind kind = Kind::None;
    std::uint32_t number = 0;
    Capabilities capabilities;
    /// A STATUS's mailbox as sent (modified UTF-7), or an ESEARCH's tag.
    std::string mailbox;
    std::string tag;
    std::optional<std::uint32_t> messages;
    std::optional<std::uint32_t> unseen;
    std::optional<std::uint32_t> uidNext;
};

/// A whole response, literals included.
struct Response {
    enum class Kind {
        Tagged,        ///< a command's end: "a1 OK done"
        Untagged,      ///< "* ...": data, or a status the server tells on its own
        Continuation,  ///< "+ ...": the server waits for the rest of a command
    };
    Kind kind = Kind::Untagged;
    /// A tagged response's tag.
    std::string tag;
    /// The number before the name ("* 5 EXISTS").
    std::optional<std::uint32_t> number;
    /// OK, NO, BAD, PREAUTH, BYE or the data's name (CAPABILITY, EXISTS, STATUS ...) in upper
    /// case; empty for a continuation.
    std::string name;
    /// A status response's or a continuation's text as sent, its [code] included.
    std::string text;
    /// The response code's name in upper case (ALERT, CAPABILITY, UIDNEXT ...), and what
    /// follows the name inside the brackets.
    std::string code;
    std::string codeText;
    /// The data after the name, for any other response.
    std::vector<Value> values;
    /// The response's first bytes as sent, for the excerpt of a failure.
    std::string opening;
    /// What it tells that a session acts on.
    Data data;

    /// OK, NO, BAD, PREAUTH or BYE: a status response, whose text is for people.
    bool isStatus() const;
    /// Fills data from the rest; false when what a session would act on is malformed (a
    /// missing or bad number).
    bool typeData();
};

/// A number of 1 to 10 digits up to 2^32-1, and nothing else.
std::optional<std::uint32_t> ParseNumber(std::string_view text);

}  // namespace breezel::imap
