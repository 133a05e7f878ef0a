#include "orvw/widgets/preview_picture.h"

#include <QPainter>

PreviewPicture::PreviewPicture(int width, int height, QWidget* parent)
    : QWidget(parent), image_(width, height, QImage::Format_RGB32) {
    clear();
}

void PreviewPicture::clear() {
    image_.fill(Qt::white);
    QPainter painter(&image_);
    painter.setPen(Qt::black);
    painter.drawRect(0, 0, image_.width() - 1, image_.height() - 1);
    painter.end();
    update();
}

void PreviewPicture::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawImage(0, 0, image_);
}
