#pragma once
// The map's plot: a picture placed in survey coordinates under axes with ticks and labels,
// a colour bar beside it, the stations as an optional overlay, and zoom (wheel, a box
// dragged with Shift held) and pan (drag). Pixels stay square: x and y keep one scale.
// QCustomPlot draws the axes, the colour bar and the PNG; the picture itself is ours.

#include <qcustomplot.h>

#include <QImage>
#include <vector>

#include "orvgrid/map/colour_stretch.h"
#include "orvgrid/map/map_view.h"

class MapPlot : public QCustomPlot {
    Q_OBJECT
public:
    explicit MapPlot(QWidget* parent = nullptr);

    // The picture, rows from the top, covering `area` (survey coordinates).
    void setPicture(const QImage& picture, const MapArea& area);
    const QImage& picture() const { return picture_; }
    MapArea pictureArea() const { return picture_area_; }

    // The colour bar for values from `low` to `high` coloured by `stretch`, its values
    // multiplied by `scale` (1, or degrees per radian) and labelled `label`.
    void setColourBar(const ColourStretch& stretch, double low, double high, double scale,
                      const QString& label);
    QCPColorScale* colourBar() const { return colour_bar_; }

    void setStations(const std::vector<double>& x, const std::vector<double>& y);
    void setStationsVisible(bool visible);

    // The visible rectangle in survey coordinates, and setting it (widened to keep square
    // pixels, centred on the rectangle asked for).
    MapArea view() const;
    void setView(const MapArea& area);
    // The size of the plotting area in device pixels: the lattice a view is gridded on.
    QSize plotPixels() const;
    // The survey coordinates under a widget position.
    QPointF coordinatesAt(const QPointF& position) const;

signals:
    // The visible rectangle or the plotting area's size changed.
    void viewChanged();
    // The mouse moved over the plotting area, at these survey coordinates.
    void cursorMoved(double x, double y);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void keepSquarePixels();
    void afterLayoutChanged();

    class PictureItem;
    QImage picture_;
    MapArea picture_area_;
    QCPColorScale* colour_bar_ = nullptr;
    QCPCurve* stations_ = nullptr;
    QSize last_plot_size_;
    bool adjusting_ = false;
};
