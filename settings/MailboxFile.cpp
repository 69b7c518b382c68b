#include "settings/MailboxFile.h"

#include <algorithm>
#include <optional>
#include <string_view>

#include "common/AsciiText.h"
#include "settings/AtomicFile.h"
#include "settings/FileText.h"

namespace breezel {

namespace {

constexpr std::string_view kHeader =
    "; Breezel's further mailboxes, one section each. Their passwords are kept in the desktop\n"
    "; keyring (or in mailbox-secrets.ini, readable by its owner only), never here.\n";

std::string_view Trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// A section name that stays one: no brackets, no line breaks, nothing around it.
std::string SectionName(std::string_view key) {
    std::string name;
    for (const char c : key) {
        name += (c == '[' || c == ']' || c == '\r' || c == '\n') ? '_' : c;
    }
    return std::string(Trimmed(name));
}

void Take(net::Mailbox& mailbox, std::string_view key, std::string_view value) {
    if (ascii::EqualNoCase(key, "name")) {
        mailbox.name = value;
    } else if (ascii::EqualNoCase(key, "server")) {
        mailbox.server = value;
    } else if (ascii::EqualNoCase(key, "id")) {
        mailbox.id = value;
    } else if (ascii::EqualNoCase(key, "on")) {
        mailbox.enabled = value != "0";
    } else if (ascii::EqualNoCase(key, "folder") && !value.empty()) {
        mailbox.folders.emplace_back(value);
    }
}

}  // namespace

std::vector<net::Mailbox> LoadMailboxes(const std::filesystem::path& file) {
    std::vector<net::Mailbox> mailboxes;
    const std::optional<std::string> content = ReadWholeFile(file);
    if (!content) {
        return mailboxes;
    }
    std::vector<net::Mailbox> read;
    std::string_view rest = WithoutBom(*content);
    while (!rest.empty()) {
        const auto end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        line = Trimmed(line);
        if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
            net::Mailbox mailbox;
            mailbox.key = Trimmed(line.substr(1, line.size() - 2));
            mailbox.secretSource = net::SecretSource::Keyring;
            read.push_back(std::move(mailbox));
        } else if (const auto equals = line.find('=');
                   !read.empty() && equals != std::string_view::npos && line.front() != ';') {
            Take(read.back(), Trimmed(line.substr(0, equals)), Trimmed(line.substr(equals + 1)));
        }
    }
    for (net::Mailbox& mailbox : read) {
        // The first section of a name wins, as in the other settings files.
        const bool seen = std::any_of(mailboxes.begin(), mailboxes.end(), [&](const auto& m) {
            return ascii::EqualNoCase(m.key, mailbox.key);
        });
        if (mailbox.key.empty() || mailbox.server.empty() || seen) {
            continue;
        }
        mailbox.address = net::ServerAddress::parse(mailbox.server);
        if (mailbox.name.empty()) {
            mailbox.name = mailbox.server;
        }
        mailboxes.push_back(std::move(mailbox));
    }
    return mailboxes;
}

bool SaveMailboxes(const std::filesystem::path& file, const std::vector<net::Mailbox>& mailboxes) {
    std::string text(kHeader);
    for (const net::Mailbox& mailbox : mailboxes) {
        text += "\n[" + SectionName(mailbox.key) + "]\n";
        text += "name=" + OneLine(mailbox.name) + "\n";
        text += "server=" + OneLine(mailbox.server) + "\n";
        text += "id=" + OneLine(mailbox.id) + "\n";
        text += mailbox.enabled ? "on=1\n" : "on=0\n";
        for (const std::string& folder : mailbox.folders) {
            text += "folder=" + OneLine(folder) + "\n";
        }
    }
    return WriteFileAtomically(file, text);
}

std::string NewMailboxKey(const std::vector<net::Mailbox>& mailboxes) {
    // The first mailbox is the first: further ones count on from 2.
    for (int n = 2;; ++n) {
        const std::string key = "mailbox-" + std::to_string(n);
        if (std::none_of(mailboxes.begin(), mailboxes.end(),
                         [&](const auto& m) { return ascii::EqualNoCase(m.key, key); })) {
            return key;
        }
    }
}

}  // namespace breezel
