#pragma once
// One preview picture on the window: a fixed-size image whose pixels the preview code
// sets, shown as it is.

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

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage image_;
};
