#include "qt/BannerView.h"

#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>

#include "forms/MainForm.h"
#include "qt/Bindings.h"
#include "qt/Fonts.h"

namespace breezel {

BannerView::BannerView(QWidget* parent, MainForm& form)
    : QWidget(parent),
      form_(&form),
      banner_(ToPixmap(
          QImage(PictureFor(QStringLiteral(":/design/banner.png"), parent->devicePixelRatioF())))),
      lamp_(ToPixmap(
          QImage(PictureFor(QStringLiteral(":/design/lamp.gif"), parent->devicePixelRatioF())))),
      lampRect_(ToPixels(form.Image1.rect())),
      font_(ScrollingLabelFont()) {
    setGeometry(ToPixels(form.Picture5.rect()));
    // Every pixel is painted here: nothing below needs drawing first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    labelChanged_ = form.Label1.changed.connectScoped([this] { followLabel(); });
    lampChanged_ = form.Image1.changed.connectScoped([this] { followLamp(); });
    windowChanged_ = form.window.changed.connectScoped([this] { followLamp(); });
    formGone_ = form.destroying.connectScoped([this] {
        form_ = nullptr;
        labelChanged_.disconnect();
        lampChanged_.disconnect();
        windowChanged_.disconnect();
    });
    followLabel();
}

void BannerView::followLabel() {
    const QRect before = textRect();
    const QRect rect = ToPixels(form_->Label1.rect());
    // Compared as stored, so the 50 ticks a second convert no text.
    const bool newCaption = form_->Label1.caption() != caption_;
    if (!newCaption && rect == labelRect_) {
        return;
    }
    labelRect_ = rect;
    if (newCaption) {
        caption_ = form_->Label1.caption();
        drawCaption();
    }
    update(before.united(textRect()));
}

void BannerView::drawCaption() {
    const QString caption = ToQString(caption_);
    // A pixel more than the advance for the ink of bold glyphs; never wider than the label.
    const int width =
        std::min(labelRect_.width(), QFontMetrics(font_).horizontalAdvance(caption) + 1);
    if (caption.isEmpty() || width <= 0) {
        text_ = QPixmap();
        return;
    }
    const qreal ratio = devicePixelRatioF();
    text_ = QPixmap(QSize(width, labelRect_.height()) * ratio);
    text_.setDevicePixelRatio(ratio);
    text_.fill(Qt::transparent);
    QPainter painter(&text_);
    painter.setFont(font_);
    painter.setPen(Qt::yellow);
    painter.drawText(QRect(0, 0, width, labelRect_.height()),
                     Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, caption);
}

QRect BannerView::textRect() const {
    return text_.isNull() ? QRect()
                          : QRect(labelRect_.topLeft(), text_.deviceIndependentSize().toSize());
}

void BannerView::followLamp() {
    // Unseen, a lamp that blinks would read its pictures for no one: the last one is read
    // once the window can be seen again.
    if (form_->Image1.pictureLoads() == lampLoads_ || form_->window.unseen()) {
        return;
    }
    lampLoads_ = form_->Image1.pictureLoads();
    // Read from disk every time; a picture that cannot be read keeps the one shown.
    const QPixmap picture =
        ToPixmap(QImage(PictureFor(ToQString(form_->Image1.picturePath()), devicePixelRatioF())));
    if (!picture.isNull()) {
        lamp_ = picture;
        update(lampRect_);
    }
}

void BannerView::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.setClipRegion(event->region());
    painter.fillRect(rect(), Qt::black);
    painter.drawPixmap(0, 0, banner_);
    painter.drawPixmap(lampRect_.topLeft(), lamp_);
    // The label lies over the lamp; its text is already cut to the label's box.
    painter.drawPixmap(labelRect_.topLeft(), text_);
}

}  // namespace breezel
