#include "orvw/map/map_plot.h"

#include <algorithm>
#include <cmath>

#include "orvgrid/grid/colouring.h"

// Draws the picture into its rectangle through the painter, clipped to the axis rect: a
// deep zoom before the re-gridding arrives never scales the picture into a huge pixmap.
class MapPlot::PictureItem : public QCPAbstractItem {
public:
    explicit PictureItem(MapPlot* plot) : QCPAbstractItem(plot), plot_(plot) {
        setSelectable(false);
    }
    double selectTest(const QPointF&, bool, QVariant*) const override { return -1.0; }

protected:
    void draw(QCPPainter* painter) override {
        const QImage& picture = plot_->picture_;
        if (picture.isNull()) return;
        const MapArea& a = plot_->picture_area_;
        const QPointF top_left(plot_->xAxis->coordToPixel(a.x_min),
                               plot_->yAxis->coordToPixel(a.y_max));
        const QPointF bottom_right(plot_->xAxis->coordToPixel(a.x_max),
                                   plot_->yAxis->coordToPixel(a.y_min));
        painter->drawImage(QRectF(top_left, bottom_right), picture);
    }

private:
    MapPlot* plot_;
};

namespace {

// Levels of the colour bar: finer than the pixels of any bar on a screen.
constexpr int COLOUR_BAR_LEVELS = 4096;

// Tick labels of survey coordinates: plain decimals, as many as the tick spacing needs.
void setCoordinateLabels(QCPAxis* axis) {
    const double step = axis->range().size() / 6.0;
    const int decimals =
        step > 0.0 ? std::clamp(static_cast<int>(std::ceil(-std::log10(step))), 0, 8) : 0;
    axis->setNumberFormat(QStringLiteral("f"));
    axis->setNumberPrecision(decimals);
}

QColor paletteColour(int colour_class) {
    const PaletteEntry& entry = PREVIEW_PALETTE[static_cast<std::size_t>(colour_class)];
    return QColor(entry.red, entry.green, entry.blue);
}

}  // namespace

MapPlot::MapPlot(QWidget* parent) : QCustomPlot(parent) {
    setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
    xAxis->grid()->setVisible(false);
    yAxis->grid()->setVisible(false);
    xAxis->setLabel(QStringLiteral("x [m]"));
    yAxis->setLabel(QStringLiteral("y [m]"));
    // Ticks on all four sides frame the map as a printed sheet would.
    axisRect()->setupFullAxesBox(true);

    new PictureItem(this);  // the plot owns its items
    stations_ = new QCPCurve(xAxis, yAxis);
    stations_->setLineStyle(QCPCurve::lsNone);
    stations_->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssCircle, Qt::black, 3));
    stations_->setVisible(false);

    colour_bar_ = new QCPColorScale(this);
    colour_bar_->setType(QCPAxis::atRight);
    colour_bar_->setRangeDrag(false);
    colour_bar_->setRangeZoom(false);
    colour_bar_->setBarWidth(18);
    colour_bar_->axis()->setNumberFormat(QStringLiteral("g"));
    colour_bar_->axis()->setNumberPrecision(4);
    plotLayout()->addElement(0, 1, colour_bar_);
    // The bar runs exactly as high as the map.
    auto* margins = new QCPMarginGroup(this);
    axisRect()->setMarginGroup(QCP::msTop | QCP::msBottom, margins);
    colour_bar_->setMarginGroup(QCP::msTop | QCP::msBottom, margins);

    const auto rangeChanged = [this] {
        setCoordinateLabels(xAxis);
        setCoordinateLabels(yAxis);
        if (!adjusting_) emit viewChanged();
    };
    connect(xAxis, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), this, rangeChanged);
    connect(yAxis, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), this, rangeChanged);
    connect(this, &QCustomPlot::afterLayout, this, &MapPlot::afterLayoutChanged);
}

void MapPlot::setPicture(const QImage& picture, const MapArea& area) {
    picture_ = picture;
    picture_area_ = area;
    replot();
}

void MapPlot::setColourBar(const ColourStretch& stretch, double low, double high, double scale,
                           const QString& label) {
    // A single value still needs a bar of some height.
    double shown_low = low, shown_high = high;
    if (!(shown_high > shown_low)) {
        const double half = std::max(std::fabs(low) * 1e-6, 1e-12);
        shown_low = low - half;
        shown_high = high + half;
    }
    // The bar is the gradient's table of levels. A stop on every level, at the very
    // position the table samples, gives each level its value's class colour exactly
    // (stops in between would be blended, and the blend of a colour with itself can
    // round one unit down); the colour at a value is the colour the map gives it.
    QMap<double, QColor> stops;
    const double span = shown_high - shown_low;
    const double level_step = 1.0 / double(COLOUR_BAR_LEVELS - 1);
    for (int i = 0; i < COLOUR_BAR_LEVELS; ++i) {
        const double position = i * level_step;
        const double value = i == COLOUR_BAR_LEVELS - 1 ? shown_high : shown_low + position * span;
        stops[position] = paletteColour(stretch_class(stretch, value));
    }
    QCPColorGradient gradient;
    gradient.setLevelCount(COLOUR_BAR_LEVELS);
    gradient.setColorStops(stops);
    colour_bar_->setGradient(gradient);
    colour_bar_->setDataRange(QCPRange(shown_low * scale, shown_high * scale));
    colour_bar_->axis()->setLabel(label);
    replot();
}

void MapPlot::setStations(const std::vector<double>& x, const std::vector<double>& y) {
    QVector<double> keys(x.begin(), x.end());
    QVector<double> values(y.begin(), y.end());
    stations_->setData(keys, values);
}

void MapPlot::setStationsVisible(bool visible) {
    stations_->setVisible(visible);
    replot();
}

MapArea MapPlot::view() const {
    return {xAxis->range().lower, xAxis->range().upper, yAxis->range().lower, yAxis->range().upper};
}

void MapPlot::setView(const MapArea& area) {
    adjusting_ = true;
    xAxis->setRange(area.x_min, area.x_max);
    yAxis->setRange(area.y_min, area.y_max);
    adjusting_ = false;
    // Before the first layout the plot's size is unknown: the layout fits the view then.
    if (!last_plot_size_.isEmpty()) keepSquarePixels();
    emit viewChanged();
    replot();
}

QSize MapPlot::plotPixels() const {
    const QRect rect = axisRect()->rect();
    const double ratio = devicePixelRatioF();
    return QSize(static_cast<int>(std::lround(rect.width() * ratio)),
                 static_cast<int>(std::lround(rect.height() * ratio)));
}

QPointF MapPlot::coordinatesAt(const QPointF& position) const {
    return QPointF(xAxis->pixelToCoord(position.x()), yAxis->pixelToCoord(position.y()));
}

// Widens the axis whose pixels are smaller so both have the larger scale, each around
// its centre; the whole of what was visible stays visible.
void MapPlot::keepSquarePixels() {
    const QRect rect = axisRect()->rect();
    if (rect.width() < 1 || rect.height() < 1) return;
    const QCPRange x = xAxis->range();
    const QCPRange y = yAxis->range();
    const double scale = std::max(x.size() / rect.width(), y.size() / rect.height());
    if (!(scale > 0.0)) return;
    adjusting_ = true;
    xAxis->setRange(x.center(), scale * rect.width(), Qt::AlignCenter);
    yAxis->setRange(y.center(), scale * rect.height(), Qt::AlignCenter);
    adjusting_ = false;
    emit viewChanged();
}

// The first layout fits the view asked for; a resize keeps the metres a pixel and the
// centre, showing more or less of the map, as a window onto a sheet would.
void MapPlot::afterLayoutChanged() {
    const QSize size = axisRect()->rect().size();
    if (size == last_plot_size_) return;
    const QSize before = last_plot_size_;
    last_plot_size_ = size;
    if (before.isEmpty() || size.isEmpty()) {
        keepSquarePixels();
    } else {
        const double scale = xAxis->range().size() / before.width();
        adjusting_ = true;
        xAxis->setRange(xAxis->range().center(), scale * size.width(), Qt::AlignCenter);
        yAxis->setRange(yAxis->range().center(), scale * size.height(), Qt::AlignCenter);
        adjusting_ = false;
        emit viewChanged();
    }
    // The ticks of this frame were laid out for the ranges before.
    replot(QCustomPlot::rpQueuedReplot);
}

void MapPlot::mousePressEvent(QMouseEvent* event) {
    // Shift turns a drag from panning into drawing the box to zoom into.
    setSelectionRectMode(event->modifiers() & Qt::ShiftModifier ? QCP::srmZoom : QCP::srmNone);
    QCustomPlot::mousePressEvent(event);
}

void MapPlot::mouseReleaseEvent(QMouseEvent* event) {
    const bool box = selectionRectMode() == QCP::srmZoom && selectionRect()->isActive();
    QCustomPlot::mouseReleaseEvent(event);
    // A box zoom sets each axis to its side of the box; the scales are evened out after.
    if (box) {
        keepSquarePixels();
        replot();
    }
}

void MapPlot::mouseMoveEvent(QMouseEvent* event) {
    QCustomPlot::mouseMoveEvent(event);
    if (axisRect()->rect().contains(event->pos())) {
        const QPointF at = coordinatesAt(event->position());
        emit cursorMoved(at.x(), at.y());
    }
}
