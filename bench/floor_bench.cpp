// The least a Qt window can cost while a label scrolls in it: one 20 ms timer moving a pre-drawn
// text 20 twips to the left and repainting the strip it covered and covers, nothing else.
// bench/idle measures it beside Breezel, to tell the toolkit's share of the idle cost from
// Breezel's own.
#include <QApplication>
#include <QPaintEvent>
#include <QPainter>
#include <QPixmap>
#include <QTimer>
#include <QWidget>

namespace {

constexpr int kTwipsPerPixel = 15;

class Strip : public QWidget {
public:
    Strip() {
        setAttribute(Qt::WA_OpaquePaintEvent);
        setWindowTitle(QStringLiteral("Breezel floor"));
        setFixedSize(221, 119);
        QFont font = this->font();
        font.setBold(true);
        font.setPointSizeF(11.25);
        const QString caption = QString::fromUtf8("未設定");
        text_ = QPixmap(QFontMetrics(font).horizontalAdvance(caption) + 1, 17);
        text_.fill(Qt::transparent);
        QPainter painter(&text_);
        painter.setFont(font);
        painter.setPen(Qt::yellow);
        painter.drawText(text_.rect(), Qt::AlignLeft | Qt::AlignTop, caption);
    }

    void tick() {
        const QRect before = textRect();
        left_ = left_ == -1500 ? 2760 : left_ - 20;
        update(before.united(textRect()));
    }

protected:
    void paintEvent(QPaintEvent* event) override {
        QPainter painter(this);
        painter.fillRect(event->rect(), QColor(0, 0, 0x40));
        painter.drawPixmap(textRect().topLeft(), text_);
    }

private:
    QRect textRect() const { return {QPoint(left_ / kTwipsPerPixel, 100), text_.size()}; }

    QPixmap text_;
    int left_ = 3240;
};

}  // namespace

int main(int argc, char* argv[]) {
    // As Breezel does: no shared-memory round trip per repaint.
    qputenv("QT_XCB_NO_MITSHM", "1");
    QApplication app(argc, argv);
    Strip strip;
    strip.show();
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, [&strip] { strip.tick(); });
    timer.start(20);
    return QApplication::exec();
}
