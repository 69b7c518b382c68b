// The least a Qt mail notifier with a Japanese face can hold: a small window with a line of
// Japanese text, a tray icon, and idle TLS links to an IMAP server, each logged in and waiting in
// IDLE. bench/memory measures it beside Breezel in the same run.
// Usage: memory_floor HOST PORT PASSWORD USER...   (a link for each user)
#include <QApplication>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QSslSocket>
#include <QSystemTrayIcon>
#include <QVBoxLayout>
#include <QWidget>
#include <cstdio>
#include <memory>
#include <vector>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    if (argc < 5) {
        std::fprintf(stderr, "usage: memory_floor HOST PORT PASSWORD USER...\n");
        return 2;
    }
    QWidget window;
    window.setWindowTitle(QStringLiteral("Breezel memory floor"));
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(new QLabel(QString::fromUtf8("新着メールが有ります: 3 通"), &window));
    window.show();

    QPixmap icon(22, 22);
    icon.fill(Qt::transparent);
    {
        QPainter painter(&icon);
        painter.setBrush(QColor(0x40, 0x90, 0xe0));
        painter.drawEllipse(icon.rect().adjusted(2, 2, -2, -2));
    }
    QSystemTrayIcon tray{QIcon(icon)};
    tray.setToolTip(QString::fromUtf8("新着メール"));
    tray.show();

    const QString host = QString::fromLocal8Bit(argv[1]);
    const quint16 port = QString::fromLocal8Bit(argv[2]).toUShort();
    const QByteArray password = argv[3];
    std::vector<std::unique_ptr<QSslSocket>> links;
    for (int n = 4; n < argc; ++n) {
        auto link = std::make_unique<QSslSocket>();
        QSslSocket* socket = link.get();
        const QByteArray user = argv[n];
        QObject::connect(socket, &QSslSocket::encrypted, socket, [socket, user, password] {
            socket->write("a LOGIN " + user + " " + password + "\r\nb SELECT INBOX\r\nc IDLE\r\n");
        });
        QObject::connect(socket, &QSslSocket::readyRead, socket, [socket] { socket->readAll(); });
        QObject::connect(socket, &QSslSocket::errorOccurred, socket, [socket] {
            std::fprintf(stderr, "link: %s\n", qPrintable(socket->errorString()));
        });
        socket->connectToHostEncrypted(host, port);
        links.push_back(std::move(link));
    }
    return QApplication::exec();
}
