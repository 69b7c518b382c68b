#pragma once

#include <QElapsedTimer>
#include <random>

#include "platform/Clock.h"
#include "platform/DesignPictures.h"
#include "platform/Desktop.h"
#include "platform/MessageBox.h"
#include "platform/ProgramLauncher.h"
#include "platform/RandomSource.h"

namespace breezel {

/// Milliseconds from a monotonic clock, wrapping at 32 bits like a tick counter.
class QtClock : public Clock {
public:
    QtClock();
    std::uint32_t milliseconds() override;

private:
    QElapsedTimer timer_;
};

/// Boxes modal for the user, opened without a loop of their own: the event loop runs on, and
/// the answer comes back through the callback. Their text is plain text, never markup.
class QtMessageBox : public MessageBox {
public:
    void showOk(const std::string& text, const std::string& title, Icon icon,
                std::function<void()> dismissed) override;
    void askYesNo(const std::string& text, const std::string& title,
                  std::function<void(bool)> answered) override;
};

/// Starts a program file directly, never through a shell, so blanks or shell characters in
/// its path are just part of the path.
class QtProgramLauncher : public ProgramLauncher {
public:
    bool start(const std::string& path) override;
};

/// The primary screen, the system's locale, menus, file dialogs and default programs.
class QtDesktop : public Desktop {
public:
    Twips screenWidth() override;
    Twips screenHeight() override;
    std::string localDateTimeText() override;
    void popUpMenu(const std::vector<std::string>& captions,
                   std::function<void(int)> chosen) override;
    void chooseFile(const std::string& fileName,
                    std::function<void(std::optional<std::string>)> chosen) override;
    void openUrl(const std::string& url) override;
};

/// A Mersenne twister seeded from the time of day.
class StdRandomSource : public RandomSource {
public:
    void seedFromTime() override;
    float next() override;

private:
    std::mt19937 engine_;
};

/// The design pictures compiled into the program.
class QtDesignPictures : public DesignPictures {
public:
    RgbImage chimeFrame(int k) override;
};

}  // namespace breezel
