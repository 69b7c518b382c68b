#include "support/FakeServices.h"

#include <algorithm>

namespace breezel {

int FakeMailLibrary::NMailInitializeWinSock() {
    log_.push_back("NMailInitializeWinSock");
    return 0;
}

int FakeMailLibrary::NMailSetOption(int option, int value) {
    log_.push_back("NMailSetOption " + std::to_string(option) + " " + std::to_string(value));
    return 0;
}

int FakeMailLibrary::NMailEndWinSock() {
    log_.push_back("NMailEndWinSock");
    return 0;
}

bool FakeSoundDevice::open(const std::string& path, const std::string& alias) {
    log_.push_back("open \"" + path + "\" alias " + alias);
    if (std::find(open_.begin(), open_.end(), alias) != open_.end()) {
        return false;
    }
    open_.push_back(alias);
    return true;
}

void FakeSoundDevice::play(const std::string& alias) {
    log_.push_back("play " + alias);
}

void FakeSoundDevice::playFromStart(const std::string& alias) {
    log_.push_back("play " + alias + " from 0");
}

std::string FakeSoundDevice::mode(const std::string& alias) {
    log_.push_back("status " + alias + " mode");
    return std::find(open_.begin(), open_.end(), alias) != open_.end() ? "playing" : "";
}

void FakeSoundDevice::stop(const std::string& alias) {
    log_.push_back("stop " + alias);
}

void FakeSoundDevice::close(const std::string& alias) {
    log_.push_back("close " + alias);
    std::erase(open_, alias);
}

}  // namespace breezel
