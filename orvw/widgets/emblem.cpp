#include "orvw/widgets/emblem.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

QPixmap drawEmblem(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);

    const QRectF frame(1.5, 1.5, size - 3.0, size - 3.0);
    QPainterPath clip;
    clip.addRoundedRect(frame, 10, 10);
    painter.setClipPath(clip);

    // The field: low values in blue, rising through green and yellow to red at the
    // anomaly's centre, in the order of the preview maps' colours.
    const QPointF centre(size * 0.58, size * 0.44);
    QRadialGradient field(centre, size * 0.75);
    field.setColorAt(0.00, QColor(235, 60, 40));
    field.setColorAt(0.22, QColor(250, 200, 40));
    field.setColorAt(0.45, QColor(90, 200, 90));
    field.setColorAt(0.75, QColor(40, 150, 220));
    field.setColorAt(1.00, QColor(30, 70, 170));
    painter.fillRect(frame, field);

    // Contour rings, drawn slightly off-centre and flattened as a real anomaly's are.
    painter.setBrush(Qt::NoBrush);
    for (int ring = 1; ring <= 6; ++ring) {
        const double rx = size * 0.075 * ring;
        const double ry = rx * 0.72;
        const QPointF shift(-ring * size * 0.012, ring * size * 0.01);
        painter.setPen(QPen(QColor(255, 255, 255, ring % 2 ? 210 : 130), ring % 2 ? 1.4 : 0.9));
        painter.save();
        painter.translate(centre + shift);
        painter.rotate(-24);
        painter.drawEllipse(QPointF(0, 0), rx, ry);
        painter.restore();
    }

    // Survey stations scattered over the map.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(20, 20, 30));
    const double stations[][2] = {{0.18, 0.20}, {0.34, 0.12}, {0.80, 0.18}, {0.15, 0.55},
                                  {0.42, 0.70}, {0.70, 0.62}, {0.88, 0.44}, {0.26, 0.84},
                                  {0.62, 0.86}, {0.85, 0.80}, {0.50, 0.30}, {0.30, 0.38}};
    for (const auto& station : stations)
        painter.drawEllipse(QPointF(station[0] * size, station[1] * size), 1.6, 1.6);

    painter.setClipping(false);
    painter.setPen(QPen(QColor(60, 60, 70), 1.2));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(frame, 10, 10);
    return pixmap;
}
