#include "settings/ServerSettings.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <string_view>

#include "common/Utf8.h"
#include "settings/AtomicFile.h"
#include "settings/FileText.h"
#include "settings/NumberText.h"

namespace breezel {

namespace {

// The settings dialog accepts at most this many characters per value.
constexpr std::size_t kMaxValueChars = 100;

std::int16_t ToApopFlag(std::string_view text) {
    const long long rounded = RoundHalfEven(LeadingNumber(Utf8PrefixChars(text, kMaxValueChars)));
    // Clamped rather than wrapped, so that any huge value still means "use APOP".
    return static_cast<std::int16_t>(
        std::clamp<long long>(rounded, std::numeric_limits<std::int16_t>::min(),
                              std::numeric_limits<std::int16_t>::max()));
}

void ApplyLine(SharedSettings& s, std::string_view line) {
    const std::string_view head = line.substr(0, 5);
    const std::string_view rest = line.substr(head.size());
    if (head == "SMTP=") {
        s.SmtpServer = Utf8PrefixChars(rest, kMaxValueChars);
    } else if (head == "POP3=") {
        s.Pop3Server = Utf8PrefixChars(rest, kMaxValueChars);
    } else if (head == "MAIL=") {
        s.MailAddress = Utf8PrefixChars(rest, kMaxValueChars);
    } else if (head == "APOP=") {
        s.ApopFlag = ToApopFlag(rest);
    }
}

}  // namespace

void LoadServerSettings(SharedSettings& s, const std::filesystem::path& file) {
    const std::optional<std::string> content = ReadWholeFile(file);
    if (!content) {
        return;
    }
    std::string_view rest = WithoutBom(*content);
    while (!rest.empty()) {
        const std::size_t lf = rest.find('\n');
        std::string_view line = rest.substr(0, lf);
        rest.remove_prefix(lf == std::string_view::npos ? rest.size() : lf + 1);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        ApplyLine(s, line);
    }
}

bool SaveServerSettings(const SharedSettings& s, const std::filesystem::path& file) {
    const std::string content =
        "SMTP=" + OneLine(s.SmtpServer) + "\r\nPOP3=" + OneLine(s.Pop3Server) +
        "\r\nMAIL=" + OneLine(s.MailAddress) + "\r\nAPOP=" + std::to_string(s.ApopFlag) + "\r\n";
    return WriteFileAtomically(file, content);
}

std::string FirstMailboxName(const SharedSettings& s) {
    return s.AccountId.empty() ? s.Pop3Server : s.AccountId;
}

net::Mailbox FirstMailbox(const SharedSettings& s) {
    net::Mailbox mailbox;
    mailbox.server = s.Pop3Server;
    mailbox.address = net::ServerAddress::parse(s.Pop3Server);
    mailbox.name = FirstMailboxName(s);
    mailbox.id = s.AccountId;
    mailbox.password = Secret(s.AccountPassword);
    mailbox.apop = s.ApopFlag != 0;
    return mailbox;
}

}  // namespace breezel
