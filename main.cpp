#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QTranslator>
#include <filesystem>

#include "app/Program.h"
#include "forms/MainForm.h"
#include "imap/ImapMailLibrary.h"
#include "imap/ImapPush.h"
#include "library/MailEngines.h"
#include "pop3/Pop3MailLibrary.h"
#include "qt/Bindings.h"
#include "qt/GoaDesktopAccounts.h"
#include "qt/LazySoundDevice.h"
#include "qt/NetworkManagerDialUp.h"
#include "qt/OAuthSignIn.h"
#include "qt/QtProcessControl.h"
#include "qt/QtSecretStore.h"
#include "qt/QtServices.h"
#include "qt/QtTimerDriver.h"
#include "qt/QtTransportFactory.h"
#include "qt/QtTrayIcon.h"
#include "qt/SingleInstance.h"
#include "qt/StandardTexts.h"
#include "qt/SystemBusEvents.h"
#include "qt/ViewHost.h"

namespace {

// The executable's folder; or, for a packaged install, which is read-only, the folder of the
// user's own that its launcher made and names here: the settings live there, beside links to
// the installed executable, pictures and sound.
QString ProgramFolder() {
    const QString chosen = qEnvironmentVariable("BREEZEL_PROGRAM_FOLDER");
    qunsetenv("BREEZEL_PROGRAM_FOLDER");  // not handed on to the mail program it starts
    if (!chosen.isEmpty() && QFileInfo(chosen).isDir()) {
        return QDir(chosen).canonicalPath();
    }
    return QDir(QCoreApplication::applicationDirPath()).canonicalPath();
}

}  // namespace

int main(int argc, char* argv[]) {
    // Staying on top, placing and shaping windows need X11: on a Wayland session run through
    // XWayland when it is there, unless the user chose a platform.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !qEnvironmentVariableIsEmpty("DISPLAY")) {
        qputenv("QT_QPA_PLATFORM", "xcb");
    }
    // The window is small and repaints a few pixels 50 times a second: sending them in the
    // request is cheaper than shared memory, which costs a round trip to the server per repaint.
    if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM")) {
        qputenv("QT_XCB_NO_MITSHM", "1");
    }
    QApplication app(argc, argv);
    QApplication::setStyle(QStringLiteral("Fusion"));
    QTranslator standardTexts;
    breezel::InstallJapaneseStandardTexts(standardTexts);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/design/breezel.png")));
    // Closing the main window ends the process through its own closing step.
    QApplication::setQuitOnLastWindowClosed(false);

    const QString folder = ProgramFolder();
    breezel::SingleInstance instance(folder);
    if (instance.handOverToRunning()) {
        return 0;
    }

    // The driver and the services outlive the program; the views go before it.
    breezel::QtTimerDriver timers;
    breezel::QtClock clock;
    breezel::QtTransportFactory transports;
    breezel::Pop3MailLibrary pop3(transports);
    breezel::ImapMailLibrary imap(transports);
    breezel::MailEngines mail(pop3, imap);
    breezel::ImapPush push(transports);
    breezel::OAuthSignIn signIn(std::filesystem::path(breezel::ToStdString(folder)) / "★MailData");
    breezel::LazySoundDevice sound;
    breezel::QtProcessControl process;
    breezel::QtMessageBox messages;
    breezel::QtProgramLauncher launcher;
    breezel::NetworkManagerDialUp dialUp;
    breezel::QtDesktop desktop;
    breezel::StdRandomSource random;
    breezel::QtDesignPictures pictures;
    breezel::QtTrayIcon tray;
    breezel::QtSecretStore secrets(std::filesystem::path(breezel::ToStdString(folder)) /
                                   "★MailData");
    breezel::GoaDesktopAccounts desktopAccounts;
    breezel::SystemBusEvents system;
    breezel::Program program(
        {timers, clock, mail, push, signIn, sound, process, messages, launcher, dialUp, desktop,
         random, pictures, tray, secrets, desktopAccounts, system},
        breezel::ToStdString(folder));
    breezel::ViewHost views(program);
    instance.onActivate([&program] { program.mainForm().BringForward(); });
    process.beforeEnd([&instance] { instance.release(); });
    program.start();
    return QApplication::exec();
}
