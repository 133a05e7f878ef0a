#pragma once
// One preview picture on the window: a fixed-size image whose pixels the preview code
// sets, shown as it is. A double-click or its context menu's "Open map…" asks for the
// picture's map in a window of its own.

#include <QImage>
#include <QWidget>

class PreviewPicture : public QWidget {
    Q_OBJECT
public:
    PreviewPicture(int width, int height, QWidget* parent = nullptr);

    // White inside a one-pixel black outline, as a picture with no map yet.
    void clear();
    // The picture itself; call update() after changing its pixels.
    QImage& image() { return image_; }
    const QImage& image() const { return image_; }

signals:
    void mapRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    QImage image_;
};
