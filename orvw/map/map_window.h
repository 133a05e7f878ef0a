#pragma once
// A map window: one quantity of the data a run or a load left, gridded at screen
// resolution in the background, with axes, colour bar, cursor readout, zoom and pan,
// stretch and sun controls, and saving the view. It shows a snapshot of the data taken
// when it was opened, so a later run or load in the main window changes nothing here.

#include <QWidget>
#include <memory>
#include <vector>

#include "orvgrid/grid/lattice_grid.h"
#include "orvgrid/map/colour_stretch.h"
#include "orvgrid/map/map_readout.h"
#include "orvgrid/map/map_snapshot.h"

class MapGridJob;
class MapPlot;
class Prompts;
struct MapGridResult;
class QCheckBox;
class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTimer;

class MapWindow : public QWidget {
    Q_OBJECT
public:
    // Shows `snapshot`'s quantity at WorkPoint `position` (one the tendency does not
    // list is added under `name`). Dialogs go through `prompts`, which must outlive the
    // window; griddings use `threads` (0: all cores).
    MapWindow(std::shared_ptr<const MapSnapshot> snapshot, int position, const QString& name,
              Prompts& prompts, unsigned threads, QWidget* parent = nullptr);
    ~MapWindow() override;

    MapPlot* plot() const { return plot_; }
    const MapSnapshot& snapshot() const { return *snapshot_; }
    // The quantity the picture shows (a newer choice counts once it is gridded).
    const MapQuantity& quantity() const { return quantities_[shown_quantity_]; }
    // The last finished gridding (stored coordinates) and the stretch it is coloured by.
    const GridLattice& lattice() const { return lattice_; }
    const std::vector<double>& values() const { return values_; }
    const ColourStretch& stretch() const { return stretch_; }
    // True from the start of a gridding of the current view until it finishes.
    bool isGridding() const { return current_job_ != 0; }
    int griddingsStarted() const { return jobs_started_; }

    // The readout at survey coordinates, and its text as the window shows it.
    MapReadout readoutAt(double x, double y) const;
    QString readoutText(const MapReadout& readout) const;

    // Grids the view as it is now, stopping a gridding still running.
    void regrid();
    // The map, its axes and colour bar as a PNG of width x height pixels (0: as shown).
    bool savePng(const QString& path, int width = 0, int height = 0);
    // The export choices file (orvw/export_choices.h) whose coordinate system a saved
    // GeoTIFF carries; none set or none chosen: the file carries none.
    void setExportChoicesPath(const QString& path) { export_choices_path_ = path; }
    // The grid the picture shows (the visible area's nodes, blanks as nodata) as a
    // GeoTIFF; "" or the message the window shows when it fails.
    QString saveGeoTiff(const QString& path) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

signals:
    // A gridding of the current view ended: Done (the picture shows it), Cancelled or
    // Failed (the picture before stays).
    void griddingFinished(GridOutcome outcome);

private:
    void createControls(int quantity_index);
    void gridFinished(MapGridResult result);
    void gridProgress(int job, int permille);
    void recolour();
    void updateColourBar();
    void showReadout(double x, double y);
    void fitReadout();
    void resetView();
    void saveView();
    void saveGridView();
    void stopGridding();
    void quantityChanged();
    double displayScale() const;

    std::shared_ptr<const MapSnapshot> snapshot_;
    std::vector<MapQuantity> quantities_;
    Prompts& prompts_;
    unsigned threads_;
    QString export_choices_path_;

    std::vector<std::unique_ptr<MapGridJob>> jobs_;  // the current one and stopped ones
    int current_job_ = 0;                            // id of the current view's, or 0
    std::size_t gridding_quantity_ = 0;              // the current job's quantity
    std::size_t shown_quantity_ = 0;                 // the picture's quantity
    int jobs_started_ = 0;
    GridLattice lattice_;
    std::vector<double> values_;
    ColourStretch stretch_;

    MapPlot* plot_ = nullptr;
    QComboBox* quantity_list_ = nullptr;
    QComboBox* stretch_list_ = nullptr;
    QCheckBox* shading_ = nullptr;
    QSpinBox* azimuth_ = nullptr;
    QSpinBox* elevation_ = nullptr;
    QComboBox* relief_list_ = nullptr;
    QCheckBox* stations_ = nullptr;
    QCheckBox* degrees_ = nullptr;
    QPushButton* reset_ = nullptr;
    QPushButton* save_ = nullptr;
    QPushButton* save_geotiff_ = nullptr;
    QLabel* readout_ = nullptr;
    QLabel* status_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QPushButton* stop_ = nullptr;
    QTimer* settle_ = nullptr;
};
