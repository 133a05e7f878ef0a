// The window's export: reached from the preview pictures' context menu after a run or a
// load, answered by a scripted export prompt; its choices remembered beside the
// settings file, which keeps its 903 bytes; the dialog itself returns what it shows.

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include "engine/run/run_calculation.h"
#include "tests/support/fake_monitor.h"
#include "export/export_job.h"
#include "orvw/export_choices.h"
#include "orvw/export_dialog.h"
#include "orvw/widgets/preview_picture.h"
#include "orvw/widgets/radio_group.h"
#include "tests/orvw/window_fixture.h"
#include "tests/support/fake_monitor.h"

namespace {

const QString REFERENCE = QStringLiteral(ORVANE_TEST_DATA "/reference/c01_sphere_l4_svd");

class FakeExportPrompt : public ExportPrompt {
public:
    std::optional<ExportOptions> chooseExport(const ExportDialogInput& input) override {
        asked.push_back(input);
        return answer;
    }
    std::vector<ExportDialogInput> asked;
    std::optional<ExportOptions> answer;
};

// A window like the fixture's, with the export prompt scripted; settings in `folder`.
struct ExportWindow {
    FakePrompts* prompts = nullptr;
    FakeExportPrompt* exports = nullptr;
    std::unique_ptr<TfrmMain> window;

    explicit ExportWindow(const QTemporaryDir& folder) {
        auto owned = std::make_unique<FakePrompts>();
        auto owned_export = std::make_unique<FakeExportPrompt>();
        prompts = owned.get();
        exports = owned_export.get();
        WindowOptions options;
        options.settings_path = folder.filePath("orvane.cfg").toStdString();
        options.prompts = std::move(owned);
        options.export_prompt = std::move(owned_export);
        options.decimal_separator = '.';
        options.threads = 1;
        window = std::make_unique<TfrmMain>(std::move(options));
    }
    template <typename W>
    W* find(const char* name) const {
        return window->findChild<W*>(QLatin1String(name));
    }
    // The "Export..." entry of a preview picture's context menu (beside its map entry).
    void exportFrom(const char* picture) const {
        QAction* entry = nullptr;
        for (QAction* action : find<PreviewPicture>(picture)->actions())
            if (action->text() == QStringLiteral("Export...")) entry = action;
        QVERIFY(entry != nullptr);
        entry->trigger();
    }
};

QByteArray bytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

class WindowExportTest : public QObject {
    Q_OBJECT
private slots:
    void export_after_a_run_writes_what_the_engine_writes();
    void export_after_load_and_choices_remembered();
    void nothing_to_export_and_bad_choices_are_said();
    void dialog_returns_the_choices_it_shows();
};

// After Calc the GeoTIFF from the window is byte for byte the one the export library
// writes from the same run; every preview picture offers the entry, in the context menu.
void WindowExportTest::export_after_a_run_writes_what_the_engine_writes() {
    QTemporaryDir folder;
    QFile::copy(REFERENCE + "/survey.dat", folder.filePath("survey.dat"));
    ExportWindow w(folder);
    w.find<QLineEdit>("txt_in")->setText(folder.filePath("survey.dat"));
    w.find<QLineEdit>("txt_out")->setText(folder.filePath("result.dat"));
    w.find<QLineEdit>("txt_radius")->setText(QStringLiteral("360"));
    w.find<RadioGroup>("rg_tendencies")->button(1)->click();
    w.find<QPushButton>("btn_calc")->click();
    QVERIFY(w.window->resultsReady());
    for (const char* picture : {"img_uba", "img_regta", "img_delta"})
        QCOMPARE(w.find<PreviewPicture>(picture)->contextMenuPolicy(), Qt::ActionsContextMenu);

    ExportOptions chosen;
    chosen.folder = folder.filePath("window").toStdString();
    chosen.variables = {"hggax"};
    chosen.crs = "EPSG:32633";
    w.exports->answer = chosen;
    w.exportFrom("img_delta");
    QCOMPARE(w.exports->asked.size(), std::size_t{1});
    QCOMPARE(w.exports->asked[0].variables.size(), 12);  // x, y, height, cba, 8 quantities
    QCOMPARE(w.exports->asked[0].default_cell, QStringLiteral("36"));
    QCOMPARE(w.prompts->messages.back().text,
             QStringLiteral("Exported 2 files into %1.").arg(folder.filePath("window")));

    RunSettings s;
    s.input_file = folder.filePath("survey.dat").toStdString();
    s.output_file = folder.filePath("direct.dat").toStdString();
    s.search_radius = 360.0;
    s.cell_size = 36.0;
    s.grid_radius = 360.0;
    RunState state;
    FakeMonitor monitor;
    QCOMPARE(run_calculation(s, state, monitor, nullptr), 0);
    chosen.folder = folder.filePath("direct").toStdString();
    const ExportPlanResult planned = plan_export(chosen, Tendency::Linear4x4, "result.dat", {});
    QVERIFY(planned.plan);
    ExportSource source;
    source.state = &state;
    source.search_radius = 360.0;
    source.grid_radius = 360.0;
    QVERIFY(run_export(*planned.plan, source, monitor).outcome == ExportOutcome::Written);
    const QByteArray window_tif = bytes(folder.filePath("window/result_hggax.tif"));
    QVERIFY(window_tif.size() > 1000);
    QCOMPARE(window_tif, bytes(folder.filePath("direct/result_hggax.tif")));
    QVERIFY(QFile::exists(folder.filePath("window/result.gpkg")));
}

// A loaded result file is exported under its own name; the choices come back in the
// next window, and the settings file still has its 903 bytes.
void WindowExportTest::export_after_load_and_choices_remembered() {
    QTemporaryDir folder;
    QFile::copy(REFERENCE + "/expected.dat", folder.filePath("loaded.dat"));
    ExportOptions chosen;
    chosen.folder = folder.filePath("out").toStdString();
    chosen.variables = {"tilt", "cba"};
    chosen.cell_size = 50.0;
    chosen.grid_format = GridFormat::NetCdf;
    chosen.value_type = GridValueType::Float32;
    chosen.station_format = StationFormat::Csv;
    {
        ExportWindow w(folder);
        w.prompts->files.push_back({folder.filePath("loaded.dat"), 0});
        w.find<QPushButton>("btn_load")->click();
        QVERIFY(w.window->resultsReady());
        w.exports->answer = chosen;
        w.exportFrom("img_uba");
        for (const char* name : {"loaded_tilt.nc", "loaded_cba.nc", "loaded.csv"})
            QVERIFY2(QFile::exists(folder.filePath("out/") + QLatin1String(name)), name);
        QVERIFY(w.prompts->messages.back().text.endsWith(
            QStringLiteral("No coordinate system was given: the files carry none.")));
        w.window->close();
    }
    QCOMPARE(QFileInfo(folder.filePath("orvane.cfg")).size(), qint64{903});
    QVERIFY(QFile::exists(folder.filePath("orvane_export.ini")));

    ExportWindow again(folder);
    again.prompts->files.push_back({folder.filePath("loaded.dat"), 0});
    again.find<QPushButton>("btn_load")->click();
    again.exportFrom("img_regta");  // answered with nothing: cancelled
    QCOMPARE(again.exports->asked.size(), std::size_t{1});
    const ExportOptions& last = again.exports->asked[0].last;
    QCOMPARE(last.folder, chosen.folder);
    QCOMPARE(last.variables, chosen.variables);
    QCOMPARE(last.cell_size, chosen.cell_size);
    QVERIFY(last.grid_format == GridFormat::NetCdf && last.value_type == GridValueType::Float32);
    QVERIFY(last.station_format == StationFormat::Csv);
}

void WindowExportTest::nothing_to_export_and_bad_choices_are_said() {
    QTemporaryDir folder;
    ExportWindow w(folder);
    w.exportFrom("img_uba");
    QVERIFY(w.exports->asked.empty());
    QVERIFY(w.prompts->messages.back().text.startsWith(QStringLiteral("There is nothing to export yet")));

    QFile::copy(REFERENCE + "/expected.dat", folder.filePath("loaded.dat"));
    w.prompts->files.push_back({folder.filePath("loaded.dat"), 0});
    w.find<QPushButton>("btn_load")->click();
    ExportOptions chosen;
    chosen.folder = folder.filePath("out").toStdString();
    chosen.variables = {"hggax"};
    chosen.crs = "EPSG:0";
    w.exports->answer = chosen;
    w.exportFrom("img_uba");
    QVERIFY(w.prompts->messages.back().text.startsWith(QStringLiteral("Unknown coordinate system 'EPSG:0'")));
    QVERIFY(!QFile::exists(folder.filePath("out")));
}

// The Qt dialog opens on the last choices and returns them; a cell size that is no
// number keeps it open with the reason shown in it.
void WindowExportTest::dialog_returns_the_choices_it_shows() {
    ExportDialogInput input;
    input.variables = {"x", "y", "height", "cba", "hggax", "tilt"};
    input.last.folder = "/tmp/gis";
    input.last.variables = {"TILT", "cba"};
    input.last.cell_size = 12.5;
    input.last.grid_format = GridFormat::SurferAscii;
    input.last.value_type = GridValueType::Float32;
    input.last.station_format.reset();
    input.last.crs = "EPSG:25833";
    input.decimal_separator = ',';
    ExportDialog dialog(input);
    QCOMPARE(dialog.findChild<QLineEdit*>("txt_cell")->text(), QStringLiteral("12,5"));
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    const ExportOptions back = dialog.choices();
    QCOMPARE(back.folder, input.last.folder);
    QCOMPARE(back.variables, (std::vector<std::string>{"cba", "tilt"}));
    QCOMPARE(back.cell_size, input.last.cell_size);
    QVERIFY(back.grid_format == GridFormat::SurferAscii && back.value_type == GridValueType::Float32);
    QVERIFY(!back.station_format);
    QCOMPARE(back.crs, input.last.crs);

    ExportDialog refusing(input);
    refusing.setResult(QDialog::Rejected);
    refusing.findChild<QLineEdit*>("txt_cell")->setText(QStringLiteral("ten"));
    refusing.accept();
    QCOMPARE(refusing.result(), int(QDialog::Rejected));
    QCOMPARE(refusing.findChild<QLabel*>("lbl_problem")->text(),
             QStringLiteral("The cell size 'ten' is not a number."));
}

QTEST_MAIN(WindowExportTest)
#include "window_export_test.moc"
