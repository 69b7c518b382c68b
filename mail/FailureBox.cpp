#include "mail/FailureBox.h"

#include <utility>

#include "platform/MessageBox.h"

namespace breezel {

void FailureBox::tell(const std::map<std::string, std::string>& failures, bool byHand) {
    for (const auto& [name, text] : failures) {
        const auto shown = shown_.find(name);
        if (!byHand && shown != shown_.end() && shown->second == text) {
            continue;
        }
        waiting_[name] = text;
    }
    if (!open() && !waiting_.empty()) {
        show(std::exchange(waiting_, {}));
    }
}

void FailureBox::show(std::map<std::string, std::string> failures) {
    std::string text;
    for (const auto& [name, failure] : failures) {
        if (!text.empty()) {
            text += '\n';
        }
        text += name + ": " + failure;
    }
    shown_ = std::move(failures);
    messages_.showOk(text, "エラー", MessageBox::Icon::None, [this] {
        shown_.clear();
        if (!waiting_.empty()) {
            show(std::exchange(waiting_, {}));
        }
    });
}

}  // namespace breezel
