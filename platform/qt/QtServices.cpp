#include "platform/qt/QtServices.h"

#include <QApplication>
#include <QCursor>
#include <QDateTime>
#include <QDesktopServices>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QLocale>
#include <QMenu>
#include <QMessageBox>
#include <QProcess>
#include <QScreen>
#include <QTimer>
#include <chrono>
#include <cmath>
#include <map>

#include "platform/qt/Bindings.h"

namespace breezel {

QtClock::QtClock() {
    timer_.start();
}

std::uint32_t QtClock::milliseconds() {
    return static_cast<std::uint32_t>(timer_.elapsed());
}

void QtEventPump::processEvents(int maxWaitMs) {
    // Blocks until the time is up while events keep being handled, so a wait costs no CPU.
    // Precise: Qt would let a default timer of 2 s or more end up to 5 % late.
    QEventLoop loop;
    QTimer::singleShot(std::max(maxWaitMs, 0), Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

void QtMessageBox::showOk(const std::string& text, const std::string& title, Icon icon) {
    QMessageBox box(icon == Icon::Exclamation ? QMessageBox::Warning : QMessageBox::NoIcon,
                    title.empty() ? QApplication::applicationName() : ToQString(title),
                    ToQString(text), QMessageBox::Ok);
    // Above the main window, which stays on top of ordinary windows.
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    box.exec();
}

bool QtMessageBox::askYesNo(const std::string& text, const std::string& title) {
    QMessageBox box(QMessageBox::Question, ToQString(title), ToQString(text),
                    QMessageBox::Yes | QMessageBox::No);
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    return box.exec() == QMessageBox::Yes;
}

bool QtProgramLauncher::start(const std::string& path) {
    const QString program = ToQString(path);
    if (program.isEmpty()) {
        return false;
    }
    return QProcess::startDetached(program, {}, QFileInfo(program).absolutePath());
}

Twips QtDesktop::screenWidth() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry().width() * kTwipsPerPixel : 0;
}

Twips QtDesktop::screenHeight() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry().height() * kTwipsPerPixel : 0;
}

std::string QtDesktop::localDateTimeText() {
    const QLocale locale = QLocale::system();
    const QDateTime now = QDateTime::currentDateTime();
    return ToStdString(locale.toString(now.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
                       locale.toString(now.time(), QLocale::LongFormat));
}

void QtDesktop::popUpMenu(const std::vector<std::string>& captions,
                          std::function<void(int)> chosen) {
    QMenu menu;
    std::map<QAction*, int> indexes;
    for (int i = 0; i < static_cast<int>(captions.size()); ++i) {
        if (captions[i] == "-") {
            menu.addSeparator();
        } else {
            indexes[menu.addAction(ToQString(captions[i]))] = i;
        }
    }
    if (QAction* action = menu.exec(QCursor::pos()); action != nullptr) {
        chosen(indexes.at(action));
    }
}

bool QtDesktop::chooseFile(std::string& fileName) {
    const QString chosen = QFileDialog::getOpenFileName(nullptr, {}, ToQString(fileName));
    if (chosen.isEmpty()) {
        return false;
    }
    fileName = ToStdString(chosen);
    return true;
}

void QtDesktop::openUrl(const std::string& url) {
    const QString address = ToQString(url);
    // A local path is taken literally: '#' or '%' in a folder name are part of it.
    if (address.startsWith(QStringLiteral("file://"))) {
        QDesktopServices::openUrl(QUrl::fromLocalFile(address.mid(7)));
    } else {
        QDesktopServices::openUrl(QUrl(address));
    }
}

void StdRandomSource::seedFromTime() {
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    engine_.seed(static_cast<std::mt19937::result_type>(
        std::chrono::duration_cast<std::chrono::microseconds>(now).count()));
}

float StdRandomSource::next() {
    const float r = std::uniform_real_distribution<float>(0.0f, 1.0f)(engine_);
    // Rounding to float can give exactly 1, which callers must never see.
    return r < 1.0f ? r : std::nextafter(1.0f, 0.0f);
}

RgbImage QtDesignPictures::chimeFrame(int k) {
    const QImage image = QImage(k % 2 == 0 ? QStringLiteral(":/design/chime-a.png")
                                           : QStringLiteral(":/design/chime-b.png"))
                             .convertToFormat(QImage::Format_RGB32);
    RgbImage frame{image.width(), image.height(), {}};
    frame.pixels.reserve(static_cast<std::size_t>(image.width()) * image.height());
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            frame.pixels.push_back(line[x] & 0xFFFFFFu);
        }
    }
    return frame;
}

}  // namespace breezel
