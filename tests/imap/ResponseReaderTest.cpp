// The response reader fed with bytes as a transport hands them out, a line (up to LF) at a time:
// what each response comes to, and the exact failure of every malformed or oversized one.

#include <gtest/gtest.h>

#include <string>

#include "imap/ResponseReader.h"

namespace breezel::imap {
namespace {

std::string Show(const Value& v) {
    switch (v.kind) {
        case Value::Kind::Atom:
            return v.text;
        case Value::Kind::String:
            return "\"" + v.text + "\"";
        case Value::Kind::Nil:
            return "NIL";
        case Value::Kind::List:
            break;
    }
    std::string out = "(";
    for (const Value& item : v.items) {
        if (out.size() > 1) {
            out += ' ';
        }
        out += Show(item);
    }
    return out + ")";
}

// A response in one line: tag (or * or +), number, name, [code|codeText], «text», values.
std::string Show(const Response& r) {
    std::string out = r.kind == Response::Kind::Tagged     ? r.tag
                      : r.kind == Response::Kind::Untagged ? "*"
                                                           : "+";
    if (r.number) {
        out += ' ';
        out += std::to_string(*r.number);
    }
    if (!r.name.empty()) {
        out += " " + r.name;
    }
    if (!r.code.empty()) {
        out += " [" + r.code + "|" + r.codeText + "]";
    }
    if (r.isStatus() || r.kind == Response::Kind::Continuation) {
        out += " «" + r.text + "»";
    }
    for (const Value& v : r.values) {
        out += ' ';
        out += Show(v);
    }
    return out;
}

// Every response the bytes make, joined by " / "; a failure, or bytes that end inside a
// response ("more"), ends the list.
std::string Read(ResponseReader& reader, const std::string& bytes) {
    std::string out;
    for (std::size_t at = 0; at < bytes.size();) {
        const std::size_t end = std::min(bytes.find('\n', at), bytes.size() - 1) + 1;
        const ResponseReader::Step step = reader.take(std::string_view(bytes).substr(at, end - at));
        at = end;
        if (step == ResponseReader::Step::Failed) {
            return out + "failed: " + reader.failure() + (at < bytes.size() ? " (early)" : "");
        }
        if (step == ResponseReader::Step::Done) {
            out += (out.empty() ? "" : " / ") + Show(reader.response());
        } else if (at == bytes.size()) {
            out += " / more";
        }
    }
    return out;
}

struct Row {
    const char* name;
    std::string bytes;
    std::string read;
};

TEST(ResponseReaderTest, ResponsesBecomeValues) {
    const Row rows[] = {
        {"greeting with capabilities",
         "* OK [CAPABILITY IMAP4rev1 IDLE AUTH=PLAIN] Dovecot ready.\r\n",
         "* OK [CAPABILITY|IMAP4rev1 IDLE AUTH=PLAIN] «[CAPABILITY IMAP4rev1 IDLE AUTH=PLAIN] "
         "Dovecot ready.»"},
        {"tagged refusal with a code", "a1 NO [AUTHENTICATIONFAILED] Authentication failed.\r\n",
         "a1 NO [AUTHENTICATIONFAILED|] «[AUTHENTICATIONFAILED] Authentication failed.»"},
        {"no text, bare LF, lower case", "a2 ok\n", "a2 OK «»"},
        {"a {5} in a status text is text", "* BYE over {5}\r\n", "* BYE «over {5}»"},
        {"continuations", "+ \r\n+\r\n+ YWJj\r\n", "+ «» / + «» / + «YWJj»"},
        {"numbered", "* 23 EXISTS\r\n* 4294967295 EXPUNGE\r\n",
         "* 23 EXISTS / * 4294967295 EXPUNGE"},
        {"nested lists", "* 12 FETCH (FLAGS (\\Seen \\Answered) UID 4827 X ())\r\n",
         "* 12 FETCH (FLAGS (\\Seen \\Answered) UID 4827 X ())"},
        {"quoted with escapes", "* STATUS \"In \\\"box\\\\\" (UNSEEN 3)\r\n",
         "* STATUS \"In \"box\\\" (UNSEEN 3)"},
        {"literal holding CR LF", "* STATUS {7}\r\nIN\r\nBOX (UNSEEN 2)\r\n",
         "* STATUS \"IN\r\nBOX\" (UNSEEN 2)"},
        {"literal ending at a line end", "* LIST () NIL {4}\r\nab\r\n\r\n",
         "* LIST () NIL \"ab\r\n\""},
        {"empty literal, then another", "* X {0}\r\n {1}\r\nz\r\n", "* X \"\" \"z\""},
        {"NIL, brackets in an atom, a trailing blank",
         "* 1 FETCH (BODY[HEADER.FIELDS (SUBJECT)] nil \"NIL\") \r\n",
         "* 1 FETCH (BODY[HEADER.FIELDS (SUBJECT)] NIL \"NIL\")"},
        {"ESEARCH", "* ESEARCH (TAG \"a5\") COUNT 3\r\n", "* ESEARCH (TAG \"a5\") COUNT 3"},
        {"a literal's announcement alone", "* STATUS {5}\r\n", " / more"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ImapLimits limits;
        ResponseReader reader(limits);
        EXPECT_EQ(Read(reader, row.bytes), row.read);
    }
}

TEST(ResponseReaderTest, MalformedOrOversizedResponsesFailWithTheirReason) {
    const std::string bad = "failed: サーバーの応答が不正です: ";
    const std::string deep = std::string(33, '(') + std::string(33, ')');
    const Row rows[] = {
        {"not IMAP", "HTTP/1.1 200 OK\r\n", bad + "HTTP/1.1 200 OK"},
        {"empty line", "\r\n", bad},
        {"unterminated string", "* STATUS \"INBOX (UNSEEN 1)\r\n",
         bad + "* STATUS \"INBOX (UNSEEN 1)"},
        {"unknown escape", "* X \"a\\b\"\r\n", bad + "* X \"a\\b\""},
        {"unbalanced list", "* 1 FETCH (FLAGS (\\Seen)\r\n", bad + "* 1 FETCH (FLAGS (\\Seen)"},
        {"stray parenthesis", "* SEARCH 1)\r\n", bad + "* SEARCH 1)"},
        {"lists too deep", "* X " + deep + "\r\n", bad + "* X " + deep},
        {"literal not at a line end", "* X {3} abc\r\n", bad + "* X {3} abc"},
        {"unclosed code", "* OK [ALERT look\r\n", bad + "* OK [ALERT look"},
        {"number past 32 bits", "* 4294967296 EXISTS\r\n", bad + "* 4294967296 EXISTS"},
        {"BYE with a tag", "a1 BYE x\r\n", bad + "a1 BYE x"},
        {"control byte", "* CAPABILITY IMAP4rev1 \x01IDLE\r\n",
         bad + "* CAPABILITY IMAP4rev1 ?IDLE"},
        {"continuation without a blank", "+OK\r\n", bad + "+OK"},
        // A literal larger than allowed fails on its announcement, before any of its bytes.
        {"huge literal", "* X {99999999999999999999}\r\n" + std::string(100, 'x'),
         "failed: サーバーの応答が大きすぎます（上限 64 バイト） (early)"},
        {"literal one past the bound", "* X {65}\r\n",
         "failed: サーバーの応答が大きすぎます（上限 64 バイト）"},
        {"literals past the response bound", "* X {60}\r\n" + std::string(60, 'a') + " {60}\r\n",
         "failed: サーバーの応答が大きすぎます（上限 128 バイト）"},
        {"a line past the response bound", "* " + std::string(130, 'A') + "\r\n",
         "failed: サーバーの応答が大きすぎます（上限 128 バイト）"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ImapLimits limits;
        limits.maxLiteralBytes = 64;
        limits.maxResponseBytes = 128;
        ResponseReader reader(limits);
        EXPECT_EQ(Read(reader, row.bytes), row.read);
        // The next response is read afresh.
        EXPECT_EQ(Read(reader, "* 1 EXISTS\r\n"), "* 1 EXISTS");
    }
}

}  // namespace
}  // namespace breezel::imap
