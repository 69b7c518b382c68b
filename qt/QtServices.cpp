#include "qt/QtServices.h"

#include <QApplication>
#include <QCursor>
#include <QDateTime>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QLocale>
#include <QMenu>
#include <QMessageBox>
#include <QProcess>
#include <QScreen>
#include <QWindow>
#include <chrono>
#include <cmath>

#include "common/FileUrl.h"
#include "qt/Bindings.h"

namespace breezel {

QtClock::QtClock() {
    timer_.start();
}

std::uint32_t QtClock::milliseconds() {
    return static_cast<std::uint32_t>(timer_.elapsed());
}

namespace {

// A box that goes when answered. Modal for the user, but opened without a loop of its own.
QMessageBox* OpenBox(QMessageBox::Icon icon, const QString& title, const std::string& text,
                     QMessageBox::StandardButtons buttons) {
    auto* box = new QMessageBox(icon, title, QString(), buttons);
    // The text may be a server's words: shown as they are, never as markup that could load
    // files or take the window down.
    box->setTextFormat(Qt::PlainText);
    box->setText(ToQString(text));
    // Above the main window, which stays on top of ordinary windows.
    box->setWindowFlag(Qt::WindowStaysOnTopHint);
    box->setWindowModality(Qt::ApplicationModal);
    box->setAttribute(Qt::WA_DeleteOnClose);
    // Kept above the window the user works in, which may take the focus back after a menu
    // closes. Only the window system knows of the link: the box never goes with that window.
    if (const QWidget* owner = QApplication::activeWindow()) {
        box->winId();
        box->windowHandle()->setTransientParent(owner->windowHandle());
    }
    return box;
}

}  // namespace

void QtMessageBox::showOk(const std::string& text, const std::string& title, Icon icon,
                          std::function<void()> dismissed) {
    QMessageBox* box = OpenBox(
        icon == Icon::Exclamation ? QMessageBox::Warning : QMessageBox::NoIcon,
        title.empty() ? QApplication::applicationName() : ToQString(title), text, QMessageBox::Ok);
    QObject::connect(box, &QDialog::finished, box,
                     [dismissed = std::move(dismissed)](int) { dismissed(); });
    box->show();
}

void QtMessageBox::askYesNo(const std::string& text, const std::string& title,
                            std::function<void(bool)> answered) {
    QMessageBox* box =
        OpenBox(QMessageBox::Question, ToQString(title), text, QMessageBox::Yes | QMessageBox::No);
    QObject::connect(box, &QDialog::finished, box, [answered = std::move(answered)](int result) {
        answered(result == QMessageBox::Yes);
    });
    box->show();
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
    // Popped up, not run in a loop of its own: the program goes on while the menu is open.
    auto* menu = new QMenu;
    menu->setAttribute(Qt::WA_DeleteOnClose);
    FillMenu(*menu, captions, chosen);
    menu->popup(QCursor::pos());
}

void QtDesktop::chooseFile(const std::string& fileName,
                           std::function<void(std::optional<std::string>)> chosen) {
    auto* dialog = new QFileDialog(nullptr, {}, ToQString(fileName));
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::ApplicationModal);
    if (!fileName.empty()) {
        dialog->selectFile(ToQString(fileName));
    }
    QObject::connect(dialog, &QDialog::finished, dialog,
                     [dialog, chosen = std::move(chosen)](int result) {
                         const QStringList files = dialog->selectedFiles();
                         if (result == QDialog::Accepted && !files.isEmpty()) {
                             chosen(ToStdString(files.first()));
                         } else {
                             chosen(std::nullopt);
                         }
                     });
    dialog->show();
}

void QtDesktop::openUrl(const std::string& url) {
    if (const std::optional<std::string> path = FileUrlPath(url)) {
        QDesktopServices::openUrl(QUrl::fromLocalFile(ToQString(*path)));
    } else {
        QDesktopServices::openUrl(QUrl(ToQString(url)));
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
