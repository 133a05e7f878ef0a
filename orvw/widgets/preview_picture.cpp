#include "orvw/widgets/preview_picture.h"

#include <QAction>
#include <QMouseEvent>
#include <QPainter>

PreviewPicture::PreviewPicture(int width, int height, QWidget* parent)
    : QWidget(parent), image_(width, height, QImage::Format_RGB32) {
    clear();
    auto* open_map = new QAction(tr("Open map\u2026"), this);
    open_map->setObjectName(QStringLiteral("open_map"));
    connect(open_map, &QAction::triggered, this, &PreviewPicture::mapRequested);
    addAction(open_map);
    setContextMenuPolicy(Qt::ActionsContextMenu);
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

void PreviewPicture::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) emit mapRequested();
}
