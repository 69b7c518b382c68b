#include "platform/qt/BannerView.h"

#include <QPaintEvent>
#include <QPainter>

#include "app/MainForm.h"
#include "platform/qt/Bindings.h"
#include "platform/qt/Fonts.h"

namespace breezel {

BannerView::BannerView(QWidget* parent, MainForm& form)
    : QWidget(parent),
      form_(&form),
      banner_(QStringLiteral(":/design/banner.png")),
      lamp_(QStringLiteral(":/design/lamp.gif")),
      lampRect_(ToPixels(form.Image1.rect())),
      font_(ScrollingLabelFont()) {
    setGeometry(ToPixels(form.Picture5.rect()));
    // Every pixel is painted here: nothing below needs drawing first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    text_.setPerformanceHint(QStaticText::AggressiveCaching);
    labelChanged_ = form.Label1.changed.connectScoped([this] { followLabel(); });
    lampChanged_ = form.Image1.changed.connectScoped([this] { followLamp(); });
    formGone_ = form.destroying.connectScoped([this] {
        form_ = nullptr;
        labelChanged_.disconnect();
        lampChanged_.disconnect();
    });
    followLabel();
}

void BannerView::followLabel() {
    const QRect rect = ToPixels(form_->Label1.rect());
    // Compared as stored, so the 50 ticks a second convert no text.
    if (form_->Label1.caption() != caption_) {
        caption_ = form_->Label1.caption();
        text_.setText(ToQString(caption_));
        text_.prepare(QTransform(), font_);
        update(rect.united(labelRect_));
    } else if (rect != labelRect_) {
        update(rect.united(labelRect_));
    }
    labelRect_ = rect;
}

void BannerView::followLamp() {
    if (form_->Image1.pictureLoads() == lampLoads_) {
        return;
    }
    lampLoads_ = form_->Image1.pictureLoads();
    // Read from disk every time; a picture that cannot be read keeps the one shown.
    const QPixmap picture(ToQString(form_->Image1.picturePath()));
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
    // The label lies over the lamp and clips its text to its own box, as the label did.
    painter.setClipRect(labelRect_, Qt::IntersectClip);
    painter.setFont(font_);
    painter.setPen(Qt::yellow);
    painter.drawStaticText(labelRect_.topLeft(), text_);
}

}  // namespace breezel
