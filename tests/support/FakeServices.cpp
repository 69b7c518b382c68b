#include "support/FakeServices.h"

#include <algorithm>
#include <utility>

#include "platform/Wait.h"

namespace breezel {

int FakeMailLibrary::NMailInitializeWinSock() {
    log_.push_back("NMailInitializeWinSock");
    return 1;
}

int FakeMailLibrary::NMailSetOption(int option, int value) {
    log_.push_back("NMailSetOption " + std::to_string(option) + " " + std::to_string(value));
    return 1;
}

int FakeMailLibrary::NMailEndWinSock() {
    log_.push_back("NMailEndWinSock");
    return 1;
}

Task<> FakeMailLibrary::serverDelay() {
    if (latencyMs > 0 && timers != nullptr) {
        co_await After(*timers, latencyMs);
    }
    ++answered;
}

Task<int> FakeMailLibrary::NMailPop3Connect(net::Mailbox mailbox) {
    log_.push_back("connect " + mailbox.server);
    if (mailbox.server == slowServer && timers != nullptr) {
        co_await After(*timers, slowMs);
    }
    co_await serverDelay();
    connected_ = connectResult != -1;
    co_return connectResult;
}

Task<int> FakeMailLibrary::NMailPop3Authenticate(int handle, std::string id,
                                                 net::Credential credential, int apop) {
    log_.push_back("login " + std::to_string(handle) + " " + id + " " + credential.secret.reveal() +
                   " " + std::to_string(apop));
    if (duringLogin) {
        duringLogin();
    }
    if (id == slowLoginId && timers != nullptr) {
        co_await After(*timers, slowMs);
    }
    co_await serverDelay();
    if (!loginResults.empty()) {
        loginResult = loginResults.front();
        loginResults.pop_front();
    }
    co_return loginResult;
}

Task<int> FakeMailLibrary::NMailPop3GetMailStatus(int handle, int number, MailTexts&, int) {
    log_.push_back("status " + std::to_string(handle) + " " + std::to_string(number));
    connected_ = connected_ && !hangsUpAfterLogin;
    co_await serverDelay();
    co_return connected_ ? 1 : -1;
}

Task<int> FakeMailLibrary::NMailPop3GetMailSize(int handle, int number) {
    log_.push_back("size " + std::to_string(handle) + " " + std::to_string(number));
    co_await serverDelay();
    co_return connected_ ? 2048 : -1;
}

Task<int> FakeMailLibrary::NMailPop3GetMail(int handle, int number, MailTexts&, int, int) {
    log_.push_back("retrieve " + std::to_string(handle) + " " + std::to_string(number));
    co_await serverDelay();
    co_return connected_ ? 1 : -1;
}

Task<int> FakeMailLibrary::NMailPop3Close(int handle) {
    log_.push_back("close " + std::to_string(handle));
    connected_ = false;
    co_await serverDelay();
    co_return 1;
}

bool FakeMailLibrary::NMailPop3Connected(int) {
    return connected_;
}

std::string FakeMailLibrary::NMailGetMessage(int) {
    log_.push_back("message");
    return errorText;
}

FakeSoundDevice::Device* FakeSoundDevice::find(const std::string& alias) {
    auto it = std::find_if(devices_.begin(), devices_.end(),
                           [&](const Device& d) { return d.alias == alias; });
    return it == devices_.end() ? nullptr : &*it;
}

bool FakeSoundDevice::open(const std::string& path, const std::string& alias) {
    log_.push_back("open \"" + path + "\" alias " + alias);
    if (find(alias) != nullptr) {
        return false;
    }
    devices_.push_back({alias});
    return true;
}

void FakeSoundDevice::play(const std::string& alias) {
    log_.push_back("play " + alias);
    if (Device* device = find(alias); device != nullptr && !device->atEnd) {
        device->playing = true;
    }
}

void FakeSoundDevice::playFromStart(const std::string& alias) {
    log_.push_back("play " + alias + " from 0");
    if (Device* device = find(alias)) {
        device->playing = true;
        device->atEnd = false;
    }
}

std::string FakeSoundDevice::mode(const std::string& alias) {
    log_.push_back("status " + alias + " mode");
    const Device* device = find(alias);
    if (device == nullptr) {
        return {};
    }
    return device->playing ? "playing" : "stopped";
}

void FakeSoundDevice::stop(const std::string& alias) {
    log_.push_back("stop " + alias);
    if (Device* device = find(alias)) {
        device->playing = false;
    }
}

void FakeSoundDevice::close(const std::string& alias) {
    log_.push_back("close " + alias);
    std::erase_if(devices_, [&](const Device& d) { return d.alias == alias; });
}

void FakeSoundDevice::finish(const std::string& alias) {
    if (Device* device = find(alias)) {
        device->playing = false;
        device->atEnd = true;
    }
}

bool FakeSoundDevice::playing(const std::string& alias) const {
    return std::any_of(devices_.begin(), devices_.end(),
                       [&](const Device& d) { return d.alias == alias && d.playing; });
}

void FakeDesktop::popUpMenu(const std::vector<std::string>& captions,
                            std::function<void(int)> chosen) {
    std::string line = "menu";
    for (const auto& caption : captions) {
        line += " " + caption;
    }
    log_.push_back(line);
    if (menuChoice >= 0) {
        chosen(menuChoice);
    }
}

void FakeDesktop::chooseFile(const std::string& fileName,
                             std::function<void(std::optional<std::string>)> chosen) {
    log_.push_back("file dialog " + fileName);
    chosen(fileChoice.empty() ? std::nullopt : std::optional<std::string>(fileChoice));
}

void FakeMessageBox::showOk(const std::string& text, const std::string& title, Icon icon,
                            std::function<void()> dismissed) {
    log_.push_back("box " + title + (icon == Icon::Exclamation ? " (!)" : "") + ": " + text);
    hold(std::move(dismissed));
}

void FakeMessageBox::askYesNo(const std::string& text, const std::string& title,
                              std::function<void(bool)> answered) {
    log_.push_back("ask " + title + ": " + text);
    hold([this, answered = std::move(answered)] { answered(yes); });
}

void FakeMessageBox::hold(std::function<void()> answer) {
    open_.push_back(std::move(answer));
    if (!keepOpen) {
        answerOpen();
    }
}

int FakeMessageBox::answerOpen() {
    const std::vector<std::function<void()>> open = std::exchange(open_, {});
    for (const auto& answer : open) {
        answer();
    }
    return static_cast<int>(open.size());
}

float FakeRandom::next() {
    if (values.empty()) {
        return 0.0f;
    }
    const float value = values.front();
    values.pop_front();
    return value;
}

RgbImage SilverPicture(const std::vector<std::array<int, 4>>& filled) {
    RgbImage image{100, 100, std::vector<std::uint32_t>(100 * 100, 0xC0C0C0)};
    for (const auto& [left, top, right, bottom] : filled) {
        for (int y = top; y < bottom; ++y) {
            for (int x = left; x < right; ++x) {
                image.pixels[y * 100 + x] = 0x204080;
            }
        }
    }
    return image;
}

FakePictures::FakePictures()
    : frameA(SilverPicture({{33, 0, 63, 99}})), frameB(SilverPicture({{39, 1, 60, 100}})) {}

class FakeMailPush::Session : public PushSession {
public:
    explicit Session(FakeMailPush& push) : push_(push) {}

    Task<PushOpened> open(net::Mailbox mailbox, net::Credential credential) override {
        push_.calls.push_back("open " + mailbox.server + " " + mailbox.id + " " +
                              credential.secret.reveal());
        PushOpened opened;
        opened.result = PushOpened::Result::Unsupported;
        if (!push_.openings.empty()) {
            opened = push_.openings.front();
            push_.openings.pop_front();
        }
        co_return opened;
    }
    Task<PushNews> waitForNews() override {
        push_.calls.push_back("wait");
        co_return co_await Answer<PushNews>(
            [this](Answer<PushNews>::Reply reply) { push_.waiting_ = std::move(reply); });
    }
    Task<int> countUnseen() override {
        push_.calls.push_back("count");
        co_return push_.unseen;
    }
    std::uint32_t expectedUidNext() const override { return push_.expectedUidNext; }
    void close() override { push_.calls.push_back("close"); }

private:
    FakeMailPush& push_;
};

std::unique_ptr<PushSession> FakeMailPush::create() {
    return std::make_unique<Session>(*this);
}

bool FakeMailPush::tell(PushNews news) {
    if (!waiting_) {
        return false;
    }
    std::function<void(PushNews)> reply = std::move(waiting_);
    waiting_ = nullptr;
    reply(news);
    return true;
}

}  // namespace breezel
