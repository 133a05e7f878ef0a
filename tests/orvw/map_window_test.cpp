// The map window: opened from the previews after a run and after a load, its readout
// against the gridding called directly, zoom, Stop, the saved picture and the colour bar.

#include "orvw/map/map_window.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QWheelEvent>
#include <QtTest>
#include <cmath>
#include <numbers>

#include "export/grid_file.h"
#include "orvgrid/grid/colouring.h"
#include "orvgrid/grid/lattice_grid.h"
#include "orvw/export_choices.h"
#include "orvw/map/map_plot.h"
#include "orvw/widgets/preview_picture.h"
#include "orvw/widgets/radio_group.h"
#include "tests/export/gdal_files.h"
#include "tests/orvw/window_fixture.h"
#include "tests/support/fake_monitor.h"

Q_DECLARE_METATYPE(GridOutcome)

namespace {

const QString SURVEY = QStringLiteral(ORVANE_EXAMPLES "/sphere_survey.dat");

// The sphere example run as the README's picture is made: Linear 4x4, radius 300 m,
// previews on, HGGA in the second list.
struct MapFixture : WindowFixture {
    QString previous_folder = QDir::currentPath();

    MapFixture() {
        QFile::copy(SURVEY, folder.filePath("survey.dat"));
        QDir::setCurrent(folder.path());
        find<QLineEdit>("txt_in")->setText(QStringLiteral("survey.dat"));
        find<QLineEdit>("txt_out")->setText(QStringLiteral("result.dat"));
        find<QLineEdit>("txt_radius")->setText(QStringLiteral("300"));
        find<RadioGroup>("rg_tendencies")->button(1)->click();
        find<QCheckBox>("cb_preview")->setChecked(true);
    }
    ~MapFixture() { QDir::setCurrent(previous_folder); }

    void calc() const { find<QPushButton>("btn_calc")->click(); }
    QList<MapWindow*> maps() const { return window->findChildren<MapWindow*>(); }
};

// Waits until the map has gridded its view and no view change is pending: no gridding
// running and none started for longer than a view change takes to settle. The outcome of
// the last gridding that ended meanwhile (Done when they ended before the wait).
GridOutcome settled(MapWindow* map) {
    QSignalSpy finished(map, &MapWindow::griddingFinished);
    QElapsedTimer waited;
    waited.start();
    int started = map->griddingsStarted();
    while (waited.elapsed() < 60000) {
        if (map->isGridding()) {
            finished.wait(1000);
            continue;
        }
        QTest::qWait(400);
        if (!map->isGridding() && map->griddingsStarted() == started) break;
        started = map->griddingsStarted();
    }
    if (map->isGridding() || map->values().empty()) return GridOutcome::Failed;
    return finished.isEmpty() ? GridOutcome::Done : finished.last().at(0).value<GridOutcome>();
}

MapWindow* openFrom(MapFixture& f, const char* picture) {
    const int before = static_cast<int>(f.maps().size());
    QTest::mouseDClick(f.find<PreviewPicture>(picture), Qt::LeftButton);
    if (f.maps().size() != before + 1) return nullptr;
    MapWindow* map = f.maps().last();
    map->resize(560, 440);
    return map;
}

// The value the gridding gives a lone node at (x, y) in stored coordinates.
double nodeValue(const MapSnapshot& s, int position, double x, double y) {
    GridLattice one;
    one.nx = one.ny = 1;
    one.origin_x = x;
    one.origin_y = y;
    one.cell_size = 1.0;
    std::vector<double> values;
    FakeMonitor monitor;
    grid_lattice(s.points, s.index, position, s.search_radius, s.grid_radius, one, monitor, values);
    return values[0];
}

QColor palette(int colour_class) {
    const PaletteEntry& e = PREVIEW_PALETTE[static_cast<std::size_t>(colour_class)];
    return QColor(e.red, e.green, e.blue);
}

}  // namespace

class MapWindowTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { qRegisterMetaType<GridOutcome>(); }
    void opens_from_a_preview_after_a_run();
    void opens_after_load_and_not_before_results();
    void readout_reads_the_node_grid_and_the_nearest_station();
    void zoom_regrids_and_stop_cancels();
    void wheel_drag_and_box_change_the_view_with_square_pixels();
    void closing_while_gridding_waits_for_nothing();
    void keeps_its_data_when_a_run_replaces_the_points();
    void saved_png_holds_map_axes_and_colour_bar();
    void saved_geotiff_holds_the_visible_grid();
    void colour_bar_ends_are_the_classes_of_the_grid();
};

void MapWindowTest::opens_from_a_preview_after_a_run() {
    MapFixture f;
    f.window->show();
    f.calc();
    QVERIFY(f.window->resultsReady());
    f.find<QComboBox>("cb2")->setCurrentIndex(2);  // HGGA
    MapWindow* hgga = openFrom(f, "img_regta");
    QVERIFY(hgga);
    QVERIFY(hgga->isWindow());
    QVERIFY(hgga->isVisible());
    QCOMPARE(hgga->quantity().name, std::string("HGGA"));
    QVERIFY(hgga->windowTitle().startsWith(QStringLiteral("HGGA")));
    QCOMPARE(settled(hgga), GridOutcome::Done);
    QVERIFY(!hgga->plot()->picture().isNull());
    QCOMPARE(static_cast<std::size_t>(hgga->plot()->picture().width()), hgga->lattice().nx);

    // The context menu's entry opens a second one beside it: TILT of the third list.
    f.find<QComboBox>("cb3")->setCurrentIndex(7);
    QAction* open = f.find<PreviewPicture>("img_delta")->findChild<QAction*>("open_map");
    QVERIFY(open);
    QCOMPARE(open->text(), QStringLiteral("Open map\u2026"));
    open->trigger();
    QCOMPARE(f.maps().size(), 2);
    MapWindow* tilt = f.maps().last();
    QCOMPARE(tilt->quantity().name, std::string("TILT"));
    QCOMPARE(settled(tilt), GridOutcome::Done);
    QVERIFY(hgga->isVisible());
    // Both show one copy of the data, taken once.
    QCOMPARE(&hgga->snapshot(), &tilt->snapshot());
    // The preview pictures and the window itself are as before.
    QCOMPARE(f.window->size(), QSize(676, 676));
    QVERIFY(f.prompts->messages.empty());
}

void MapWindowTest::opens_after_load_and_not_before_results() {
    MapFixture f;
    QTest::mouseDClick(f.find<PreviewPicture>("img_uba"), Qt::LeftButton);
    QVERIFY(f.maps().isEmpty());
    f.calc();
    const QString result = f.folder.filePath("result.dat");

    MapFixture loaded;
    loaded.prompts->files.push_back({result, 0});
    loaded.find<QPushButton>("btn_load")->click();
    QVERIFY(loaded.window->resultsReady());
    MapWindow* map = openFrom(loaded, "img_uba");
    QVERIFY(map);
    QCOMPARE(map->quantity().name, std::string("CBA"));
    QCOMPARE(map->snapshot().points.count, std::size_t{1500});
    QCOMPARE(map->snapshot().tendency, Tendency::Linear4x4);
    QVERIFY(map->windowTitle().contains(QStringLiteral("result.dat")));
    QCOMPARE(settled(map), GridOutcome::Done);
    // The quantities of the loaded file's model are all on offer.
    auto* list = map->findChild<QComboBox*>("map_quantity");
    QCOMPARE(list->count(), 10);
    QCOMPARE(list->itemText(9), QStringLiteral("TILT"));
}

void MapWindowTest::readout_reads_the_node_grid_and_the_nearest_station() {
    MapFixture f;
    f.calc();
    f.find<QComboBox>("cb2")->setCurrentIndex(2);
    MapWindow* map = openFrom(f, "img_regta");
    QCOMPARE(settled(map), GridOutcome::Done);
    const MapSnapshot& s = map->snapshot();
    const GridLattice& l = map->lattice();
    QVERIFY(l.nx > 100 && l.ny > 100);
    // Nodes across the map, read at survey coordinates a little off their centres.
    const std::size_t picks[][2] = {{l.nx / 2, l.ny / 2}, {l.nx / 5, l.ny / 3}, {l.nx - 3, 2}};
    for (const auto& pick : picks) {
        const double x = l.origin_x + static_cast<double>(pick[0]) * l.cell_size;
        const double y = l.origin_y + static_cast<double>(pick[1]) * l.cell_size;
        const MapReadout r = map->readoutAt(x - s.x_offset() + 0.3 * l.cell_size,
                                            y - s.y_offset() - 0.3 * l.cell_size);
        const double expected = nodeValue(s, 7, x, y);
        if (expected >= 1e37) {
            QVERIFY(r.blank);
        } else {
            QVERIFY(r.value.has_value());
            QCOMPARE(*r.value, expected);
        }
        // The nearest station, by brute force.
        std::size_t nearest = 0;
        double best = 1e300;
        for (std::size_t p = 0; p < s.points.count; ++p) {
            const double d = std::hypot(s.points.work[p].value[work::x] - x - 0.3 * l.cell_size,
                                        s.points.work[p].value[work::y] - y + 0.3 * l.cell_size);
            if (d < best) best = d, nearest = p;
        }
        QVERIFY(r.station.has_value());
        QCOMPARE(*r.station, nearest);
        QCOMPARE(r.row[2].value, s.points.survey[nearest].point_number);
        QCOMPARE(r.row[7].name, std::string("HGGA"));
        QCOMPARE(r.row[7].value, s.points.work[nearest].value[7]);
    }
    // The mouse over the map shows the same readout under it, in a large font (as on a
    // screen scaled up) that wraps the row over more lines.
    QFont large = map->font();
    large.setPointSizeF(large.pointSizeF() * 1.6);
    map->setFont(large);
    QCOMPARE(settled(map), GridOutcome::Done);
    MapPlot* plot = map->plot();
    const QPoint centre = plot->axisRect()->rect().center();
    QMouseEvent move(QEvent::MouseMove, QPointF(centre), plot->mapToGlobal(QPointF(centre)),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(plot, &move);
    const QPointF at = plot->coordinatesAt(QPointF(centre));
    const MapReadout under = map->readoutAt(at.x(), at.y());
    QVERIFY(under.value.has_value());
    const QString shown = map->findChild<QLabel*>("map_readout")->text();
    QCOMPARE(shown, map->readoutText(under));
    QVERIFY(shown.contains(QStringLiteral("HGGA ") + QString::number(*under.value, 'g', 6) +
                           QStringLiteral(" mGal/m")));
    QVERIFY(shown.contains(QStringLiteral("nearest station ") +
                           QString::number(under.row[2].value, 'g', 6)));
    // Every value of the row is in the text, and the text fits the label: none is cut off.
    for (const RowValue& v : under.row)
        QVERIFY2(shown.contains(QString::fromStdString(v.name) + QLatin1Char(' ') +
                                QString::number(v.value, 'g', 6)),
                 v.name.c_str());
    const QLabel* label = map->findChild<QLabel*>("map_readout");
    QVERIFY2(label->heightForWidth(label->width()) <= label->height(), qPrintable(shown));
}

void MapWindowTest::zoom_regrids_and_stop_cancels() {
    MapFixture f;
    f.calc();
    MapWindow* map = openFrom(f, "img_regta");
    QCOMPARE(settled(map), GridOutcome::Done);
    const GridLattice whole = map->lattice();
    const int started = map->griddingsStarted();

    // Zooming into the sphere's quarter re-grids at a finer spacing.
    const MapArea view = map->plot()->view();
    const double cx = 0.5 * (view.x_min + view.x_max), cy = 0.5 * (view.y_min + view.y_max);
    map->plot()->setView({cx - 100, cx + 100, cy - 80, cy + 80});
    QCOMPARE(settled(map), GridOutcome::Done);
    QCOMPARE(map->griddingsStarted(), started + 1);
    QVERIFY(map->lattice().cell_size < whole.cell_size / 4);
    const GridLattice zoomed = map->lattice();
    const std::vector<double> zoomed_values = map->values();

    // Stop ends a gridding after its current column; the picture keeps the last view.
    // The gridding runs on while the test clicks, so a machine busy elsewhere could let
    // it finish first: then it is simply tried again.
    QSignalSpy finished(map, &MapWindow::griddingFinished);
    auto* stop = map->findChild<QPushButton*>("map_stop");
    map->plot()->setView(view);
    for (int attempt = 0; attempt < 5; ++attempt) {
        finished.clear();
        map->regrid();
        QVERIFY(map->isGridding());
        QVERIFY(stop->isEnabled());
        stop->click();
        QVERIFY(finished.wait(60000));
        if (finished.last().at(0).value<GridOutcome>() == GridOutcome::Cancelled) break;
        map->plot()->setView({cx - 100, cx + 100, cy - 80, cy + 80});
        QCOMPARE(settled(map), GridOutcome::Done);
        map->plot()->setView(view);
    }
    QCOMPARE(finished.size(), 1);
    QCOMPARE(finished.last().at(0).value<GridOutcome>(), GridOutcome::Cancelled);
    QVERIFY(!map->isGridding());
    QVERIFY(!stop->isEnabled());
    QCOMPARE(map->lattice().cell_size, zoomed.cell_size);
    QVERIFY(map->values() == zoomed_values);
    QVERIFY(map->findChild<QLabel*>("map_status")->text().startsWith(QStringLiteral("Stopped")));

    // A newer view stops the older gridding: only the newer one is shown.
    finished.clear();
    map->regrid();
    map->plot()->setView({cx - 500, cx + 500, cy - 400, cy + 400});
    map->regrid();
    QVERIFY(finished.wait(60000));
    QTest::qWait(200);
    QCOMPARE(finished.size(), 1);
    QCOMPARE(finished.last().at(0).value<GridOutcome>(), GridOutcome::Done);
    // Its lattice is the newer view's: one node a screen pixel of it.
    const MapArea newer = map->plot()->view();
    const double pixel = (newer.x_max - newer.x_min) / map->plot()->axisRect()->rect().width();
    QVERIFY(newer.x_min <= cx - 500 && newer.x_max >= cx + 500);
    QVERIFY(std::abs(map->lattice().cell_size - pixel) < 1e-9 * pixel);
}

void MapWindowTest::wheel_drag_and_box_change_the_view_with_square_pixels() {
    MapFixture f;
    f.calc();
    MapWindow* map = openFrom(f, "img_regta");
    QCOMPARE(settled(map), GridOutcome::Done);
    MapPlot* plot = map->plot();
    const QRect rect = plot->axisRect()->rect();
    const auto square = [&] {
        const MapArea v = plot->view();
        const QRect now = plot->axisRect()->rect();
        const double sx = (v.x_max - v.x_min) / now.width();
        const double sy = (v.y_max - v.y_min) / now.height();
        return std::abs(sx - sy) < 1e-9 * sx;
    };
    QVERIFY(square());
    const MapArea before = plot->view();
    const int started = map->griddingsStarted();

    // The wheel zooms in around the cursor.
    const QPointF centre = rect.center();
    QWheelEvent wheel(centre, plot->mapToGlobal(centre), QPoint(), QPoint(0, 240), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(plot, &wheel);
    const MapArea wheeled = plot->view();
    QVERIFY(wheeled.x_max - wheeled.x_min < 0.9 * (before.x_max - before.x_min));
    QVERIFY(square());
    QCOMPARE(settled(map), GridOutcome::Done);
    QCOMPARE(map->griddingsStarted(), started + 1);

    // A drag pans: the x range moves, its width stays.
    QTest::mousePress(plot, Qt::LeftButton, Qt::NoModifier, rect.center());
    QTest::mouseMove(plot, rect.center() + QPoint(60, 0));
    QTest::mouseRelease(plot, Qt::LeftButton, Qt::NoModifier, rect.center() + QPoint(60, 0));
    const MapArea panned = plot->view();
    QVERIFY(panned.x_min < wheeled.x_min);
    QVERIFY(std::abs((panned.x_max - panned.x_min) - (wheeled.x_max - wheeled.x_min)) <
            1e-6 * (wheeled.x_max - wheeled.x_min));

    // Shift and a drag draw a box to zoom into; the box stays wholly in view.
    const QPoint from = rect.topLeft() + QPoint(40, 30);
    const QPoint to = from + QPoint(120, 40);
    const QPointF box_low = plot->coordinatesAt(QPointF(from.x(), to.y()));
    const QPointF box_high = plot->coordinatesAt(QPointF(to.x(), from.y()));
    QTest::mousePress(plot, Qt::LeftButton, Qt::ShiftModifier, from);
    QTest::mouseMove(plot, to);
    QTest::mouseRelease(plot, Qt::LeftButton, Qt::ShiftModifier, to);
    const MapArea boxed = plot->view();
    QVERIFY(square());
    QVERIFY(boxed.x_min <= box_low.x() + 1e-6 && boxed.x_max >= box_high.x() - 1e-6);
    QVERIFY(boxed.y_min <= box_low.y() + 1e-6 && boxed.y_max >= box_high.y() - 1e-6);
    QVERIFY(boxed.x_max - boxed.x_min < 0.5 * (panned.x_max - panned.x_min));

    // Resizing the window keeps the metres a pixel.
    QCOMPARE(settled(map), GridOutcome::Done);
    const double zoomed_cell = map->lattice().cell_size;
    map->resize(map->width() + 120, map->height() + 80);
    QCOMPARE(settled(map), GridOutcome::Done);
    QVERIFY(std::abs(map->lattice().cell_size - zoomed_cell) < 1e-9 * zoomed_cell);
    QVERIFY(square());

    // Reset fits the whole survey into the map again.
    map->findChild<QPushButton*>("map_reset")->click();
    QCOMPARE(settled(map), GridOutcome::Done);
    const PointExtent& e = map->snapshot().points.extent;
    const MapArea reset = plot->view();
    const double ulps = 1e-9 * (e.x_max - e.x_min);
    QVERIFY(reset.x_min <= e.x_min - e.x_offset + ulps &&
            reset.x_max >= e.x_max - e.x_offset - ulps);
    QVERIFY(reset.y_min <= e.y_min - e.y_offset + ulps &&
            reset.y_max >= e.y_max - e.y_offset - ulps);
    QVERIFY(square());
    const QRect fitted = plot->axisRect()->rect();
    const double fit =
        std::max((e.x_max - e.x_min) / fitted.width(), (e.y_max - e.y_min) / fitted.height());
    QVERIFY(std::abs(map->lattice().cell_size - fit) < 1e-9 * fit);
}

void MapWindowTest::closing_while_gridding_waits_for_nothing() {
    auto f = std::make_unique<MapFixture>();
    f->calc();
    MapWindow* first = openFrom(*f, "img_regta");
    QCOMPARE(settled(first), GridOutcome::Done);
    // Closed mid-gridding: the window goes at once, its job with it.
    first->regrid();
    QVERIFY(first->isGridding());
    QPointer<MapWindow> closing(first);
    first->close();
    QTRY_VERIFY(closing.isNull());
    // The main window goes with a map still gridding: the map and its job go with it.
    MapWindow* second = openFrom(*f, "img_delta");
    QCOMPARE(settled(second), GridOutcome::Done);
    second->regrid();
    QVERIFY(second->isGridding());
    f.reset();
}

void MapWindowTest::keeps_its_data_when_a_run_replaces_the_points() {
    MapFixture f;
    f.calc();
    MapWindow* map = openFrom(f, "img_regta");
    QCOMPARE(settled(map), GridOutcome::Done);
    const std::vector<double> first = map->values();
    const GridLattice lattice = map->lattice();

    // A run on half the stations replaces the points while the map grids again.
    QFile input(f.folder.filePath("survey.dat"));
    QVERIFY(input.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = input.readAll().split('\n');
    input.close();
    QFile half(f.folder.filePath("half.dat"));
    QVERIFY(half.open(QIODevice::WriteOnly));
    for (qsizetype i = 0; i < lines.size() / 2; ++i) half.write(lines[i] + '\n');
    half.close();
    f.find<QLineEdit>("txt_in")->setText(QStringLiteral("half.dat"));
    f.find<QLineEdit>("txt_out")->setText(QStringLiteral("half_result.dat"));
    QSignalSpy finished(map, &MapWindow::griddingFinished);
    map->regrid();
    f.calc();
    QVERIFY(f.prompts->messages.empty());
    if (map->isGridding()) QVERIFY(finished.wait(60000));
    QCOMPARE(map->snapshot().points.count, std::size_t{1500});
    QCOMPARE(map->lattice().nx, lattice.nx);
    QVERIFY(map->values() == first);

    // A map opened now shows the new points.
    MapWindow* fresh = openFrom(f, "img_regta");
    QCOMPARE(fresh->snapshot().points.count, std::size_t{750});
    QVERIFY(&fresh->snapshot() != &map->snapshot());
    QVERIFY(fresh->windowTitle().contains(QStringLiteral("half.dat")));
    QCOMPARE(settled(fresh), GridOutcome::Done);
}

void MapWindowTest::saved_png_holds_map_axes_and_colour_bar() {
    MapFixture f;
    f.calc();
    MapWindow* map = openFrom(f, "img_regta");
    QCOMPARE(settled(map), GridOutcome::Done);
    MapPlot* plot = map->plot();

    // Through the Save button and its dialog.
    const QString path = f.folder.filePath("view.png");
    f.prompts->files.push_back({path, 0});
    map->findChild<QPushButton*>("map_save")->click();
    const auto& dialog = f.prompts->dialogs.back();
    QCOMPARE(dialog.spec.id, FileDialogId::MapView);
    QCOMPARE(dialog.current_name, QStringLiteral("hggax_map.png"));
    QCOMPARE(dialog.spec.filters, QStringList({"PNG image (*.png) (*.png)"}));
    QImage saved(path);
    QVERIFY(!saved.isNull());
    QCOMPARE(saved.size(), plot->size());

    // The map: the picture's pixel under the plot's centre.
    const QRect map_rect = plot->axisRect()->rect();
    const QPoint centre = map_rect.center();
    const QPointF at = plot->coordinatesAt(QPointF(centre));
    const MapArea area = plot->pictureArea();
    const QImage& picture = plot->picture();
    const int px =
        static_cast<int>((at.x() - area.x_min) / (area.x_max - area.x_min) * picture.width());
    const int py =
        static_cast<int>((area.y_max - at.y()) / (area.y_max - area.y_min) * picture.height());
    // Where the plot's pixel edges fall between the picture's, it may show a neighbour.
    const QColor got = saved.pixelColor(centre);
    bool found = false;
    for (int dx = -1; dx <= 1; ++dx)
        for (int dy = -1; dy <= 1; ++dy) found |= picture.pixelColor(px + dx, py + dy) == got;
    QVERIFY2(found, qPrintable(got.name() + " vs " + picture.pixelColor(px, py).name()));
    // The axes: a dark frame line round the map and tick labels left of and below it.
    int dark_frame = 0;
    for (int y = map_rect.top() + 5; y < map_rect.bottom() - 5; ++y)
        dark_frame += qGray(saved.pixel(map_rect.left(), y)) < 80;
    QVERIFY(dark_frame > map_rect.height() / 2);
    const auto inked = [&](QRect r) {
        int n = 0;
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x) n += qGray(saved.pixel(x, y)) < 128;
        return n;
    };
    QVERIFY(inked(QRect(0, map_rect.top(), map_rect.left() - 8, map_rect.height())) > 50);
    QVERIFY(inked(QRect(map_rect.left(), map_rect.bottom() + 6, map_rect.width(),
                        saved.height() - map_rect.bottom() - 7)) > 50);
    // The colour bar: its lowest and highest colours at its ends.
    const QRect bar = plot->colourBar()->axis()->axisRect()->rect();
    const int mid = bar.center().x();
    QCOMPARE(saved.pixelColor(mid, bar.bottom() - 1),
             palette(stretch_class(map->stretch(), map->stretch().minimum)));
    QCOMPARE(saved.pixelColor(mid, bar.top() + 1),
             palette(stretch_class(map->stretch(), map->stretch().maximum)));

    // Any size asked for, over an earlier picture, with nothing left beside it.
    const QString small = f.folder.filePath("small.png");
    QVERIFY(map->savePng(small, 320, 240));
    QVERIFY(map->savePng(small, 640, 480));
    QCOMPARE(QImage(small).size(), QSize(640, 480));
    QCOMPARE(QDir(f.folder.path()).entryList({"small*"}, QDir::Files), QStringList{"small.png"});
}

// The GeoTIFF of a view over the survey's south-west corner, read back through GDAL: the
// map's lattice with the view's low corner as its own, the export choices' coordinate
// system, every node as the map holds it and nodata where it is blank. An unwritable
// folder is named in a message and leaves no file.
void MapWindowTest::saved_geotiff_holds_the_visible_grid() {
    MapFixture f;
    ExportOptions choices;
    choices.crs = "EPSG:32633";
    QVERIFY(saveExportChoices(exportChoicesPath(f.folder.filePath("orvane.cfg")), choices));
    f.calc();
    MapWindow* map = openFrom(f, "img_regta");
    QCOMPARE(settled(map), GridOutcome::Done);
    const MapSnapshot& s = map->snapshot();
    const PointExtent& e = s.points.extent;
    // From inside the data area (the stations' extent widened by the radius) past the
    // survey's middle: the corner holds nodes beyond every station's reach.
    const double x0 = e.x_min - s.x_offset() - 280.0, y0 = e.y_min - s.y_offset() - 260.0;
    // Shaped as the plot, so that keeping the pixels square widens neither axis.
    const QSize pixels = map->plot()->plotPixels();
    const double width = 0.6 * (e.x_max - e.x_min);
    map->plot()->setView({x0, x0 + width, y0, y0 + width * pixels.height() / pixels.width()});
    QCOMPARE(settled(map), GridOutcome::Done);
    const GridLattice& l = map->lattice();
    const MapArea view = map->plot()->view();
    QVERIFY(l.nx > 50 && l.ny > 50);

    const QString path = f.folder.filePath("view.tif");
    f.prompts->files.push_back({path, 0});
    map->findChild<QPushButton*>("map_save_geotiff")->click();
    const auto& dialog = f.prompts->dialogs.back();
    QCOMPARE(dialog.spec.id, FileDialogId::MapGeoTiff);
    QCOMPARE(dialog.current_name, QStringLiteral("hggax_map.tif"));
    QVERIFY(f.prompts->messages.empty());

    const RasterRead r = read_raster(path.toStdString());
    QCOMPARE(std::size_t(r.width), l.nx);
    QCOMPARE(std::size_t(r.height), l.ny);
    // Pixel-is-area: the west edge is the view's, the pixels the map's.
    const double cell = l.cell_size;
    QVERIFY2(std::fabs(r.transform[0] - view.x_min) < 1e-6 * cell,
             qPrintable(QString::number(r.transform[0], 'f', 6)));
    QCOMPARE(r.transform[1], cell);
    QCOMPARE(r.transform[5], -cell);
    QVERIFY(std::fabs(r.transform[3] - (view.y_min + static_cast<double>(l.ny) * cell)) <
            1e-6 * cell);
    QVERIFY(r.transform[3] <= view.y_max + cell);
    QVERIFY(r.has_nodata);
    QCOMPARE(r.nodata, EXPORT_NODATA);
    QVERIFY(r.crs_is_32633);
    QCOMPARE(r.values.size(), l.nodes());
    std::size_t blanks = 0, mismatches = 0;
    for (std::size_t i = 0; i < l.nx; ++i)
        for (std::size_t j = 0; j < l.ny; ++j) {
            const double value = map->values()[i * l.ny + j];
            const double read = node_of(r, i, j);
            if (value >= 1e37) {
                ++blanks;
                mismatches += read != EXPORT_NODATA;
            } else {
                mismatches += read != value;
            }
        }
    QCOMPARE(mismatches, std::size_t{0});
    QVERIFY(blanks > 0 && blanks < l.nodes() / 2);

    const QString unwritable = f.folder.filePath("no such folder/view.tif");
    f.prompts->files.push_back({unwritable, 0});
    map->findChild<QPushButton*>("map_save_geotiff")->click();
    QCOMPARE(f.prompts->messages.size(), std::size_t{1});
    QCOMPARE(f.prompts->messages[0].caption, QStringLiteral("Orvane"));
    QVERIFY2(f.prompts->messages[0].text.contains(f.folder.filePath("no such folder")),
             qPrintable(f.prompts->messages[0].text));
    QVERIFY(!QFile::exists(unwritable));
}

void MapWindowTest::colour_bar_ends_are_the_classes_of_the_grid() {
    MapFixture f;
    f.calc();
    f.find<QComboBox>("cb2")->setCurrentIndex(2);
    MapWindow* map = openFrom(f, "img_regta");
    QCOMPARE(settled(map), GridOutcome::Done);
    double low = 1e300, high = -1e300;
    for (double v : map->values())
        if (v < 1e37) low = std::min(low, v), high = std::max(high, v);
    QCPColorScale* bar = map->plot()->colourBar();
    QCOMPARE(bar->dataRange().lower, low);
    QCOMPARE(bar->dataRange().upper, high);
    QCOMPARE(bar->axis()->label(), QStringLiteral("HGGA [mGal/m]"));
    QCPColorGradient gradient = bar->gradient();
    const ColourStretch& s = map->stretch();
    QCOMPARE(QColor(gradient.color(low, bar->dataRange())), palette(stretch_class(s, low)));
    QCOMPARE(QColor(gradient.color(high, bar->dataRange())), palette(stretch_class(s, high)));
    // Between the ends the bar steps at the class edges: just inside each edge in range.
    for (int k = 2; k <= 39; ++k) {
        const double edge = s.upper_edges[static_cast<std::size_t>(k - 1)];
        if (!(edge > low + 0.002 * (high - low) && edge < high - 0.002 * (high - low))) continue;
        const double step = 0.001 * (high - low);
        QCOMPARE(QColor(gradient.color(edge - step, bar->dataRange())), palette(k));
        QCOMPARE(QColor(gradient.color(edge + step, bar->dataRange())), palette(k + 1));
    }

    // Equalised, the ends are the palette's ends.
    map->findChild<QComboBox*>("map_stretch")->setCurrentIndex(1);
    gradient = bar->gradient();
    QCOMPARE(map->stretch().kind, StretchKind::Equalised);
    QCOMPARE(QColor(gradient.color(low, bar->dataRange())), palette(1));
    QCOMPARE(QColor(gradient.color(high, bar->dataRange())), palette(40));

    // TILT in radians, or in degrees on the same colours.
    map->findChild<QComboBox*>("map_quantity")->setCurrentText(QStringLiteral("TILT"));
    QCOMPARE(settled(map), GridOutcome::Done);
    QCOMPARE(bar->axis()->label(), QStringLiteral("TILT [rad]"));
    const QCPRange radians = bar->dataRange();
    QVERIFY(radians.lower >= -std::numbers::pi / 2 && radians.upper <= std::numbers::pi / 2);
    map->findChild<QCheckBox*>("map_degrees")->setChecked(true);
    QCOMPARE(bar->axis()->label(), QStringLiteral("TILT [\u00b0]"));
    QVERIFY(qFuzzyCompare(bar->dataRange().upper, radians.upper * 180.0 / std::numbers::pi));
}

QTEST_MAIN(MapWindowTest)
#include "map_window_test.moc"
