#include "orvw/map/map_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSaveFile>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <new>
#include <numbers>

#include "orvgrid/map/map_colouring.h"
#include "orvgrid/map/map_view.h"
#include "orvw/export_choices.h"
#include "orvw/file_dialogs.h"
#include "orvw/map/map_geotiff.h"
#include "orvw/map/map_grid_job.h"
#include "orvw/map/map_plot.h"
#include "orvw/prompts.h"

namespace {

// A view change settles before it is gridded: a wheel turned or a window dragged bigger
// sends many, and only the last is worth the work.
constexpr int SETTLE_MS = 150;

// Relief entries: the previews' relief times 10^entry, and last the automatic one. The
// previews' relief leaves the small values of gradients nearly flat.
const QStringList RELIEF_ENTRIES = {QStringLiteral("as previews"), QStringLiteral("\u00d710"),
                                    QStringLiteral("\u00d7100"),   QStringLiteral("\u00d71000"),
                                    QStringLiteral("\u00d710000"), QStringLiteral("automatic")};

QImage asQImage(const RgbImage& image) {
    QImage picture(image.width, image.height, QImage::Format_RGB888);
    for (int y = 0; y < image.height; ++y)
        std::copy_n(image.pixel(0, y), static_cast<std::size_t>(image.width) * 3,
                    picture.scanLine(y));
    return picture;
}

QString number(double value) { return QString::number(value, 'g', 6); }

}  // namespace

MapWindow::MapWindow(std::shared_ptr<const MapSnapshot> snapshot, int position, const QString& name,
                     Prompts& prompts, unsigned threads, QWidget* parent)
    : QWidget(parent, Qt::Window),
      snapshot_(std::move(snapshot)),
      quantities_(snapshot_->quantities),
      prompts_(prompts),
      threads_(threads) {
    setAttribute(Qt::WA_DeleteOnClose);
    int index = quantity_at_position(quantities_, position);
    if (index < 0) {
        quantities_.push_back({name.toStdString(), position, QuantityUnit::None});
        index = static_cast<int>(quantities_.size()) - 1;
    }
    shown_quantity_ = static_cast<std::size_t>(index);
    createControls(index);

    std::vector<double> xs, ys;
    xs.reserve(snapshot_->points.count);
    ys.reserve(snapshot_->points.count);
    for (std::size_t p = 0; p < snapshot_->points.count; ++p) {
        xs.push_back(snapshot_->points.work[p].value[work::x] - snapshot_->x_offset());
        ys.push_back(snapshot_->points.work[p].value[work::y] - snapshot_->y_offset());
    }
    plot_->setStations(xs, ys);
    quantityChanged();
    resize(900, 680);
    resetView();
}

MapWindow::~MapWindow() = default;

void MapWindow::createControls(int quantity_index) {
    quantity_list_ = new QComboBox(this);
    quantity_list_->setObjectName(QStringLiteral("map_quantity"));
    for (const MapQuantity& q : quantities_)
        quantity_list_->addItem(QString::fromStdString(q.name));
    quantity_list_->setCurrentIndex(quantity_index);
    stretch_list_ = new QComboBox(this);
    stretch_list_->setObjectName(QStringLiteral("map_stretch"));
    stretch_list_->addItems({tr("Linear"), tr("Histogram-equalised")});
    shading_ = new QCheckBox(tr("Sun shading"), this);
    shading_->setObjectName(QStringLiteral("map_shading"));
    shading_->setChecked(true);
    azimuth_ = new QSpinBox(this);
    azimuth_->setObjectName(QStringLiteral("map_azimuth"));
    azimuth_->setRange(0, 359);
    azimuth_->setWrapping(true);
    azimuth_->setSuffix(QStringLiteral("\u00b0"));
    azimuth_->setValue(45);
    elevation_ = new QSpinBox(this);
    elevation_->setObjectName(QStringLiteral("map_elevation"));
    elevation_->setRange(0, 90);
    elevation_->setSuffix(QStringLiteral("\u00b0"));
    elevation_->setValue(45);
    relief_list_ = new QComboBox(this);
    relief_list_->setObjectName(QStringLiteral("map_relief"));
    relief_list_->addItems(RELIEF_ENTRIES);
    stations_ = new QCheckBox(tr("Stations"), this);
    stations_->setObjectName(QStringLiteral("map_stations"));
    degrees_ = new QCheckBox(tr("Degrees"), this);
    degrees_->setObjectName(QStringLiteral("map_degrees"));
    reset_ = new QPushButton(tr("Reset view"), this);
    reset_->setObjectName(QStringLiteral("map_reset"));
    save_ = new QPushButton(tr("Save view\u2026"), this);
    save_->setObjectName(QStringLiteral("map_save"));
    save_geotiff_ = new QPushButton(QStringLiteral("Save as GeoTIFF..."), this);
    save_geotiff_->setObjectName(QStringLiteral("map_save_geotiff"));
    save_geotiff_->setEnabled(false);  // until the first gridding is done

    // Two rows, so that a narrow screen still takes the window.
    auto* controls = new QHBoxLayout;
    controls->addWidget(new QLabel(tr("Quantity"), this));
    controls->addWidget(quantity_list_);
    controls->addWidget(degrees_);
    controls->addWidget(new QLabel(tr("Stretch"), this));
    controls->addWidget(stretch_list_);
    controls->addWidget(stations_);
    controls->addStretch(1);
    controls->addWidget(reset_);
    controls->addWidget(save_);
    controls->addWidget(save_geotiff_);
    auto* sun = new QHBoxLayout;
    sun->addWidget(shading_);
    sun->addWidget(new QLabel(tr("Azimuth"), this));
    sun->addWidget(azimuth_);
    sun->addWidget(new QLabel(tr("Elevation"), this));
    sun->addWidget(elevation_);
    sun->addWidget(new QLabel(tr("Relief"), this));
    sun->addWidget(relief_list_);
    sun->addStretch(1);

    plot_ = new MapPlot(this);
    plot_->setObjectName(QStringLiteral("map_plot"));
    plot_->setMinimumSize(240, 180);

    readout_ = new QLabel(this);
    readout_->setObjectName(QStringLiteral("map_readout"));
    readout_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    readout_->setWordWrap(true);
    readout_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // Fixed, so that a longer readout never takes height from the map (which would
    // re-grid it at every move of the mouse); fitReadout sets it for the label's width.
    readout_->setFixedHeight(readout_->fontMetrics().lineSpacing() * 3 + 4);
    readout_->installEventFilter(this);
    readout_->setText(
        tr("Move the cursor over the map. Wheel: zoom; drag: pan; Shift+drag: "
           "zoom into a box."));
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("map_status"));
    progress_ = new QProgressBar(this);
    progress_->setObjectName(QStringLiteral("map_progress"));
    progress_->setRange(0, 1000);
    progress_->setMaximumWidth(200);
    progress_->setVisible(false);
    stop_ = new QPushButton(tr("Stop"), this);
    stop_->setObjectName(QStringLiteral("map_stop"));
    stop_->setEnabled(false);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(status_, 1);
    bottom->addWidget(progress_);
    bottom->addWidget(stop_);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(controls);
    layout->addLayout(sun);
    layout->addWidget(plot_, 1);
    layout->addWidget(readout_);
    layout->addLayout(bottom);

    settle_ = new QTimer(this);
    settle_->setSingleShot(true);
    settle_->setInterval(SETTLE_MS);

    connect(settle_, &QTimer::timeout, this, &MapWindow::regrid);
    connect(plot_, &MapPlot::viewChanged, settle_, qOverload<>(&QTimer::start));
    connect(plot_, &MapPlot::cursorMoved, this, &MapWindow::showReadout);
    connect(quantity_list_, &QComboBox::currentIndexChanged, this, &MapWindow::quantityChanged);
    connect(stretch_list_, &QComboBox::currentIndexChanged, this, &MapWindow::recolour);
    connect(shading_, &QCheckBox::toggled, this, &MapWindow::recolour);
    connect(azimuth_, &QSpinBox::valueChanged, this, &MapWindow::recolour);
    connect(elevation_, &QSpinBox::valueChanged, this, &MapWindow::recolour);
    connect(relief_list_, &QComboBox::currentIndexChanged, this, &MapWindow::recolour);
    connect(stations_, &QCheckBox::toggled, plot_, &MapPlot::setStationsVisible);
    connect(degrees_, &QCheckBox::toggled, this, &MapWindow::updateColourBar);
    connect(reset_, &QPushButton::clicked, this, &MapWindow::resetView);
    connect(save_, &QPushButton::clicked, this, &MapWindow::saveView);
    connect(save_geotiff_, &QPushButton::clicked, this, &MapWindow::saveGridView);
    connect(stop_, &QPushButton::clicked, this, &MapWindow::stopGridding);
}

double MapWindow::displayScale() const {
    const bool degrees = quantity().unit == QuantityUnit::Radian && degrees_->isChecked();
    return degrees ? 180.0 / std::numbers::pi : 1.0;
}

void MapWindow::quantityChanged() {
    const MapQuantity& q = quantities_[static_cast<std::size_t>(quantity_list_->currentIndex())];
    degrees_->setEnabled(q.unit == QuantityUnit::Radian);
    setWindowTitle(tr("%1 \u2013 %2 \u2013 Orvane map")
                       .arg(QString::fromStdString(q.name),
                            QFileInfo(QString::fromStdString(snapshot_->source)).fileName()));
    regrid();
}

void MapWindow::resetView() {
    const PointExtent& e = snapshot_->points.extent;
    plot_->setView({e.x_min - snapshot_->x_offset(), e.x_max - snapshot_->x_offset(),
                    e.y_min - snapshot_->y_offset(), e.y_max - snapshot_->y_offset()});
}

void MapWindow::regrid() {
    settle_->stop();
    const QSize pixels = plot_->plotPixels();
    // Not laid out yet: the layout's own view change grids it.
    if (pixels.isEmpty()) return;
    for (const auto& job : jobs_) job->stop();
    const MapArea shown = plot_->view();
    const MapArea view{shown.x_min + snapshot_->x_offset(), shown.x_max + snapshot_->x_offset(),
                       shown.y_min + snapshot_->y_offset(), shown.y_max + snapshot_->y_offset()};
    MapGridRequest request;
    request.snapshot = snapshot_;
    gridding_quantity_ = static_cast<std::size_t>(quantity_list_->currentIndex());
    request.position = quantities_[gridding_quantity_].position;
    request.lattice = view_lattice(view, pixels.width(), pixels.height(), snapshot_->data_area());
    request.threads = threads_;
    current_job_ = ++jobs_started_;
    progress_->setValue(0);
    progress_->setVisible(true);
    stop_->setEnabled(true);
    status_->setText(
        tr("Gridding %1 \u00d7 %2 nodes\u2026").arg(request.lattice.nx).arg(request.lattice.ny));
    jobs_.push_back(std::make_unique<MapGridJob>(
        current_job_, std::move(request), this,
        [this](int job, int permille) { gridProgress(job, permille); },
        [this](MapGridResult result) { gridFinished(std::move(result)); }));
}

void MapWindow::stopGridding() {
    for (const auto& job : jobs_)
        if (job->id() == current_job_) job->stop();
}

void MapWindow::gridProgress(int job, int permille) {
    if (job == current_job_) progress_->setValue(permille);
}

void MapWindow::gridFinished(MapGridResult result) {
    // Its thread has posted this as its last act: joining it is immediate.
    std::erase_if(jobs_, [&](const auto& job) { return job->id() == result.job; });
    if (result.job != current_job_) return;
    current_job_ = 0;
    progress_->setVisible(false);
    stop_->setEnabled(false);
    switch (result.outcome) {
        case GridOutcome::Done:
            lattice_ = result.lattice;
            values_ = std::move(result.values);
            shown_quantity_ = gridding_quantity_;
            save_geotiff_->setEnabled(true);
            status_->clear();
            recolour();
            break;
        case GridOutcome::Cancelled:
            status_->setText(tr("Stopped: the map shows the view gridded before."));
            break;
        case GridOutcome::Failed:
            status_->setText(QString::fromStdString(result.message));
            break;
    }
    emit griddingFinished(result.outcome);
}

void MapWindow::recolour() {
    azimuth_->setEnabled(shading_->isChecked());
    elevation_->setEnabled(shading_->isChecked());
    relief_list_->setEnabled(shading_->isChecked());
    stretch_ =
        stretch_list_->currentIndex() == 1 ? equalised_stretch(values_) : linear_stretch(values_);
    SunShading sun;
    sun.on = shading_->isChecked();
    sun.azimuth = azimuth_->value();
    sun.elevation = elevation_->value();
    const int relief = relief_list_->currentIndex();
    if (relief == RELIEF_ENTRIES.size() - 1)
        sun.relief = automatic_relief(values_, lattice_.nx, lattice_.ny);
    else if (lattice_.cell_size > 0.0)
        sun.relief = std::pow(10.0, relief) * snapshot_->preview_pixel_size() / lattice_.cell_size;
    const RgbImage image = colour_lattice(values_, lattice_.nx, lattice_.ny, stretch_, sun);
    const MapArea area = lattice_area(lattice_);
    plot_->setPicture(asQImage(image),
                      {area.x_min - snapshot_->x_offset(), area.x_max - snapshot_->x_offset(),
                       area.y_min - snapshot_->y_offset(), area.y_max - snapshot_->y_offset()});
    updateColourBar();
}

void MapWindow::updateColourBar() {
    const MapQuantity& q = quantity();
    const bool degrees = q.unit == QuantityUnit::Radian && degrees_->isChecked();
    QString label = QString::fromStdString(q.name);
    const std::string unit = unit_text(q.unit, degrees);
    if (!unit.empty()) label += QStringLiteral(" [%1]").arg(QString::fromStdString(unit));
    plot_->setColourBar(stretch_, stretch_.minimum, stretch_.maximum, displayScale(), label);
}

MapReadout MapWindow::readoutAt(double x, double y) const {
    return readout_at(*snapshot_, lattice_, values_, x, y);
}

QString MapWindow::readoutText(const MapReadout& r) const {
    const MapQuantity& q = quantity();
    const std::string unit = unit_text(q.unit, displayScale() != 1.0);
    QString text =
        tr("x %1  y %2  ").arg(QString::number(r.x, 'f', 2), QString::number(r.y, 'f', 2));
    text += QString::fromStdString(q.name) + QLatin1Char(' ');
    if (r.value)
        text += number(*r.value * displayScale()) + QLatin1Char(' ') + QString::fromStdString(unit);
    else
        text += r.blank ? tr("blank") : tr("not gridded");
    if (r.station) {
        text += tr("\nnearest station %1 (%2 m away):")
                    .arg(number(r.row[2].value), QString::number(r.station_distance, 'f', 1));
        for (const RowValue& v : r.row)
            text += QStringLiteral("  %1 %2").arg(QString::fromStdString(v.name), number(v.value));
    }
    return text;
}

void MapWindow::showReadout(double x, double y) { readout_->setText(readoutText(readoutAt(x, y))); }

bool MapWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == readout_ &&
        (event->type() == QEvent::Resize || event->type() == QEvent::FontChange))
        fitReadout();
    return QWidget::eventFilter(watched, event);
}

// Tall enough for the longest readout at the label's width: every value of the station's
// row stays in sight however narrow the window. The height changes only with the width,
// so a window resized is gridded again once, as it would be anyway.
void MapWindow::fitReadout() {
    if (snapshot_->points.count == 0) return;
    MapReadout widest;
    widest.x = widest.y = -12345678.91;
    widest.value = -1.23456e-05;
    widest.station = 0;
    widest.station_distance = 99999.9;
    widest.row = station_row(*snapshot_, 0);
    for (RowValue& v : widest.row) v.value = -1.23456e-05;
    const int width = readout_->contentsRect().width();
    if (width <= 0) return;
    const QRect text = readout_->fontMetrics().boundingRect(
        QRect(0, 0, width, 100000), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
        readoutText(widest));
    const QMargins margins = readout_->contentsMargins();
    const int height = text.height() + margins.top() + margins.bottom() + 4;
    if (height != readout_->height()) readout_->setFixedHeight(height);
}

// Written beside its name and renamed into place, as every file the program writes: a
// kill while saving leaves the picture that was there. Marked at 96 dots an inch, as the
// plot's own PNG writer marks it.
bool MapWindow::savePng(const QString& path, int width, int height) {
    QImage picture = plot_->toPixmap(width, height).toImage();
    const int dots_per_metre = static_cast<int>(96 / 0.0254);
    picture.setDotsPerMeterX(dots_per_metre);
    picture.setDotsPerMeterY(dots_per_metre);
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && picture.save(&file, "PNG") && file.commit();
}

void MapWindow::saveView() {
    const QString name =
        QString::fromStdString(quantity().name).toLower() + QStringLiteral("_map.png");
    const auto choice = prompts_.saveFile(fileDialogSpec(FileDialogId::MapView), name, 0);
    if (!choice) return;
    if (!savePng(choice->path))
        prompts_.message(tr("Cannot write image file %1").arg(choice->path),
                         QStringLiteral("Orvane"));
}

QString MapWindow::saveGeoTiff(const QString& path) const {
    std::string crs;
    if (!export_choices_path_.isEmpty()) crs = loadExportChoices(export_choices_path_).options.crs;
    try {
        const ExportGrid grid = map_export_grid(*snapshot_, lattice_, values_, quantity().name);
        return QString::fromStdString(
            write_map_geotiff(grid, crs, std::filesystem::path(path.toStdString())));
    } catch (const std::bad_alloc&) {
        return tr("Not enough memory to save %1").arg(path);
    }
}

void MapWindow::saveGridView() {
    if (values_.empty()) return;
    const QString name =
        QString::fromStdString(quantity().name).toLower() + QStringLiteral("_map.tif");
    const auto choice = prompts_.saveFile(fileDialogSpec(FileDialogId::MapGeoTiff), name, 0);
    if (!choice) return;
    if (const QString error = saveGeoTiff(choice->path); !error.isEmpty())
        prompts_.message(error, QStringLiteral("Orvane"));
}
