// Previews from the window: drawn during a run, re-gridded when a list changes, saved
// through save dialog 2, loaded back from a result file; the file dialogs of the names.

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QtTest>

#include "orvw/file_dialogs.h"
#include "orvw/widgets/preview_picture.h"
#include "orvgrid/files/image_files.h"
#include "orvgrid/preview_set.h"
#include "orvw/widgets/radio_group.h"
#include "engine/points/result_loader.h"
#include "engine/run/run_calculation.h"
#include "engine/run/run_checks.h"
#include "tests/orvw/window_fixture.h"
#include "tests/support/fake_monitor.h"
#include "engine/run/run_state.h"

namespace {

const QString REFERENCE = QStringLiteral(ORVANE_TEST_DATA "/reference/c01_sphere_l4_svd");

QImage asQImage(const RgbImage& image) {
    QImage result(image.width, image.height, QImage::Format_RGB32);
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            const std::uint8_t* rgb = image.pixel(x, y);
            result.setPixel(x, y, qRgb(rgb[0], rgb[1], rgb[2]));
        }
    return result;
}

bool isCleared(const QImage& image) {
    const QImage blank = asQImage(cleared_preview_image(image.width(), image.height()));
    return image == blank;
}

// The reference survey with previews on, tendency 1 chosen so the lists hold its entries.
struct PreviewFixture : WindowFixture {
    QString previous_folder = QDir::currentPath();

    PreviewFixture() {
        QFile::copy(REFERENCE + "/survey.dat", folder.filePath("survey.dat"));
        QDir::setCurrent(folder.path());
        find<QLineEdit>("txt_in")->setText(QStringLiteral("survey.dat"));
        find<QLineEdit>("txt_out")->setText(QStringLiteral("result.dat"));
        find<QLineEdit>("txt_radius")->setText(QStringLiteral("360"));
        find<RadioGroup>("rg_tendencies")->button(1)->click();
        find<QCheckBox>("cb_preview")->setChecked(true);
    }
    ~PreviewFixture() { QDir::setCurrent(previous_folder); }

    QImage picture(const char* name) const { return find<PreviewPicture>(name)->image(); }
    void calc() const { find<QPushButton>("btn_calc")->click(); }
};

// The engine's own previews for the fixture's run, without the window.
PreviewSet directPreviews(int var2, int var3, int var1 = 1, int iterations = 0) {
    RunSettings settings;
    settings.input_file = "survey.dat";
    settings.output_file = "direct.dat";
    settings.trace_file = derive_trace_file(settings.input_file);
    settings.search_radius = 360.0;
    settings.cell_size = 36.0;
    settings.grid_radius = 360.0;
    settings.preview = true;
    settings.preview_var1 = var1;
    settings.preview_var2 = var2;
    settings.preview_var3 = var3;
    settings.iterations = iterations;
    RunState state;
    FakeMonitor monitor;
    PreviewSet previews;
    run_calculation(settings, state, monitor, &previews);
    return previews;
}

// Picks an entry as a user does, so that the list's change handler runs.
void pickEntry(QComboBox* combo, int index) {
    combo->setFocus();
    while (combo->currentIndex() < index) QTest::keyClick(combo, Qt::Key_Down);
    while (combo->currentIndex() > index) QTest::keyClick(combo, Qt::Key_Up);
}

}  // namespace

class WindowPreviewsTest : public QObject {
    Q_OBJECT
private slots:
    void a_run_draws_the_three_previews();
    void a_list_without_a_selection_leaves_its_preview_empty();
    void a_list_change_regrids_its_preview();
    void list_changes_do_nothing_without_previews_or_results();
    void save_offers_the_suggested_name_and_writes_the_chosen_format();
    void save_does_nothing_before_results();
    void saved_grids_are_those_of_the_pictures();
    void load_shows_the_maps_of_the_file();
    void load_refused_or_cancelled_changes_nothing();
    void busy_window_ignores_load_save_and_lists();
    void list_changes_during_work_are_applied_when_it_ends();
    void tendency_change_after_a_run_clears_pictures_it_no_longer_names();
    void load_of_a_file_from_an_input_name_with_blanks();
    void stop_reaches_the_gridding_of_a_list_or_a_load();
    void name_dialogs_fill_fields_and_remember_filters();
};

void WindowPreviewsTest::a_run_draws_the_three_previews() {
    PreviewFixture f;
    f.calc();
    QVERIFY(f.prompts->messages.empty());
    const PreviewSet expected = directPreviews(0, 1);
    QCOMPARE(f.picture("img_uba"), asQImage(expected.image(1)));
    QCOMPARE(f.picture("img_regta"), asQImage(expected.image(2)));
    QCOMPARE(f.picture("img_delta"), asQImage(expected.image(3)));
    QVERIFY(!isCleared(f.picture("img_regta")));
    // A new run paints them empty first; without previews they stay so.
    f.find<QCheckBox>("cb_preview")->setChecked(false);
    f.calc();
    for (const char* name : {"img_uba", "img_regta", "img_delta"})
        QVERIFY(isCleared(f.picture(name)));
}

// A list with no entry selected (as a damaged settings file leaves it) takes no default
// in its place: the run says so, its preview stays empty, the other two are drawn.
void WindowPreviewsTest::a_list_without_a_selection_leaves_its_preview_empty() {
    PreviewFixture f;
    f.find<QComboBox>("cb2")->setCurrentIndex(-1);
    f.calc();
    QCOMPARE(f.prompts->messages.size(), std::size_t{1});
    QCOMPARE(f.prompts->messages[0].text, QStringLiteral("No variable selected for this preview"));
    QVERIFY(f.window->resultsReady());
    const PreviewSet expected = directPreviews(0, 1);
    QCOMPARE(f.picture("img_uba"), asQImage(expected.image(1)));
    QVERIFY(isCleared(f.picture("img_regta")));
    QCOMPARE(f.picture("img_delta"), asQImage(expected.image(3)));
}

void WindowPreviewsTest::a_list_change_regrids_its_preview() {
    PreviewFixture f;
    f.window->show();
    f.calc();
    const QImage before = f.picture("img_regta");
    pickEntry(f.find<QComboBox>("cb2"), 4);  // RGA
    pickEntry(f.find<QComboBox>("cb3"), 7);  // TILT
    const PreviewSet expected = directPreviews(4, 7);
    QCOMPARE(f.picture("img_regta"), asQImage(expected.image(2)));
    QCOMPARE(f.picture("img_delta"), asQImage(expected.image(3)));
    QVERIFY(f.picture("img_regta") != before);
}

void WindowPreviewsTest::list_changes_do_nothing_without_previews_or_results() {
    PreviewFixture f;
    f.window->show();
    pickEntry(f.find<QComboBox>("cb2"), 3);  // no results yet
    QVERIFY(isCleared(f.picture("img_regta")));
    f.calc();
    const QImage drawn = f.picture("img_regta");
    f.find<QCheckBox>("cb_preview")->setChecked(false);
    pickEntry(f.find<QComboBox>("cb2"), 5);
    // Nothing is gridded, but the map of HGGAX does not stay under LGA either.
    QVERIFY(f.picture("img_regta") != drawn);
    QVERIFY(isCleared(f.picture("img_regta")));
}

void WindowPreviewsTest::save_offers_the_suggested_name_and_writes_the_chosen_format() {
    PreviewFixture f;
    f.calc();
    const struct {
        const char* button;
        int filter;
        const char* name;
        QByteArray magic;
    } saves[] = {
        {"btn_save1", SAVE_AS_BITMAP, "cba_r=360_iter=0_object=rga.bmp", "BM"},
        {"btn_save2", SAVE_AS_JPEG, "hggax_r=360_iter=0_object=rga.bmp", "\xFF\xD8"},
        // The suggestion takes the extension of the filter the dialog opens with.
        {"btn_save3", SAVE_AS_GRID, "hggay_r=360_iter=0_object=rga.jpg", "DSAA"},
    };
    int remembered = 0;
    for (const auto& save : saves) {
        const QString path = f.folder.filePath(QStringLiteral("saved_%1.bmp").arg(save.filter));
        f.prompts->files.push_back({path, save.filter});
        f.find<QPushButton>(save.button)->click();
        const auto& call = f.prompts->dialogs.back();
        QCOMPARE(call.spec.id, FileDialogId::Save2);
        QCOMPARE(call.spec.default_suffix, QStringLiteral("bmp"));
        QCOMPARE(call.spec.filters,
                 QStringList({"Windows bitmap (*.bmp) (*.bmp)", "Jpeg files (*.jpg) (*.jpg)",
                              "Surfer grid (*.grd) (*.grd)"}));
        QCOMPARE(call.current_name, QString::fromLatin1(save.name));
        QCOMPARE(call.filter_index, remembered);
        remembered = save.filter;
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll().startsWith(save.magic));
    }
    QVERIFY(f.prompts->messages.empty());
    // A cancelled dialog writes nothing.
    f.find<QPushButton>("btn_save1")->click();
    QCOMPARE(QDir(f.folder.path()).entryList({"saved_*"}).size(), 3);
}

// The window keeps only the nodes a picture is drawn from; a grid saved later is the grid
// the picture was drawn from, even when a further pass has rewritten the working CBA
// under the first picture since.
void WindowPreviewsTest::saved_grids_are_those_of_the_pictures() {
    PreviewFixture f;
    f.find<QLineEdit>("txt_iter")->setText(QStringLiteral("1"));
    f.calc();
    const PreviewSet direct = directPreviews(0, 1, 1, 1);
    const auto bytes = [](const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    for (int slot : {1, 2}) {
        const QString saved = f.folder.filePath(QStringLiteral("saved_%1.grd").arg(slot));
        f.prompts->files.push_back({saved, SAVE_AS_GRID});
        f.find<QPushButton>(slot == 1 ? "btn_save1" : "btn_save2")->click();
        const QString expected = f.folder.filePath(QStringLiteral("direct_%1.grd").arg(slot));
        QVERIFY(write_surfer_grid(direct.result(slot).grid, expected.toStdString()).ok);
        QVERIFY(!bytes(saved).isEmpty());
        QCOMPARE(bytes(saved), bytes(expected));
    }
    QVERIFY(f.prompts->messages.empty());
}

void WindowPreviewsTest::save_does_nothing_before_results() {
    PreviewFixture f;
    f.find<QPushButton>("btn_save1")->click();
    QVERIFY(f.prompts->dialogs.empty());
    f.calc();
    f.find<QCheckBox>("cb_preview")->setChecked(false);
    f.find<QPushButton>("btn_save2")->click();
    QVERIFY(f.prompts->dialogs.empty());
}

void WindowPreviewsTest::load_shows_the_maps_of_the_file() {
    PreviewFixture f;
    f.calc();
    const QString result = f.folder.filePath("result.dat");
    // The file holds the gradients to six decimals, so the maps are those of the values
    // as written: the loader and the gridding called directly draw them.
    ResultLoadOptions options;
    options.path = result.toStdString();
    RunState state;
    FakeMonitor monitor;
    const ResultLoad load = load_result_file(options, state, monitor);
    QVERIFY(load.outcome == LoadOutcome::Loaded);
    PreviewSet expected;
    const int list_index[] = {1, 0, 1};
    for (int slot = 1; slot <= 3; ++slot)
        QVERIFY(expected.grid_slot(slot, list_index[slot - 1], load.tendency, load.search_radius,
                                   load.grid_radius, state, monitor) == GridOutcome::Done);

    WindowFixture second;
    second.find<QCheckBox>("cb_preview")->setChecked(true);
    second.find<RadioGroup>("rg_tendencies")->button(3)->click();
    second.find<QLineEdit>("txt_in")->setText(QStringLiteral("something.dat"));
    second.prompts->files.push_back({result, 0});
    second.find<QPushButton>("btn_load")->click();
    QVERIFY(second.prompts->messages.empty());
    QCOMPARE(second.prompts->dialogs.back().spec.id, FileDialogId::Open2);
    QCOMPARE(second.prompts->dialogs.back().current_name, QString());
    QVERIFY(second.window->resultsReady());
    QCOMPARE(second.find<QLineEdit>("txt_in")->text(), QString());
    QCOMPARE(second.find<QLineEdit>("txt_out")->text(), result);
    QCOMPARE(second.find<QLineEdit>("txt_radius")->text(), QStringLiteral("360"));
    QCOMPARE(second.find<QLineEdit>("txt_iter")->text(), QStringLiteral("0"));
    QCOMPARE(second.find<QComboBox>("cb_iter")->currentText(), QStringLiteral("RGA"));
    QCOMPARE(second.find<RadioGroup>("rg_tendencies")->itemIndex(), 1);
    QCOMPARE(second.find<QComboBox>("cb2")->count(), 8);
    const char* names[] = {"img_uba", "img_regta", "img_delta"};
    for (int slot = 1; slot <= 3; ++slot)
        QVERIFY2(second.find<PreviewPicture>(names[slot - 1])->image() ==
                     asQImage(expected.image(slot)),
                 names[slot - 1]);
    // The CBA is written as read, so the first map is the run's own.
    QCOMPARE(second.find<PreviewPicture>("img_uba")->image(), f.picture("img_uba"));
}

void WindowPreviewsTest::load_refused_or_cancelled_changes_nothing() {
    PreviewFixture f;
    f.calc();
    const QImage drawn = f.picture("img_regta");
    // Cancelled: nothing at all.
    f.find<QPushButton>("btn_load")->click();
    QCOMPARE(f.find<QLineEdit>("txt_out")->text(), QStringLiteral("result.dat"));
    // A first line in upper case is not a result header: refused without a message,
    // the data in memory kept.
    const QString upper = f.folder.filePath("upper.dat");
    QFile file(upper);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QFile result(f.folder.filePath("result.dat"));
    QVERIFY(result.open(QIODevice::ReadOnly));
    QByteArray bytes = result.readAll();
    bytes.replace(0, 4, "MAP:");
    file.write(bytes);
    file.close();
    f.prompts->files.push_back({upper, 0});
    f.find<QPushButton>("btn_load")->click();
    QVERIFY(f.prompts->messages.empty());
    QCOMPARE(f.find<QLineEdit>("txt_out")->text(), upper);
    QCOMPARE(f.find<QLineEdit>("txt_in")->text(), QStringLiteral("survey.dat"));
    QVERIFY(f.window->resultsReady());
    QCOMPARE(f.picture("img_regta"), drawn);
}

// Events are processed inside a run: what the user clicks meanwhile must not touch the
// points under the running loop.
void WindowPreviewsTest::busy_window_ignores_load_save_and_lists() {
    PreviewFixture f;
    f.calc();
    f.window->show();
    const QString result = f.folder.filePath("result.dat");
    f.prompts->files.push_back({result, 0});
    f.prompts->files.push_back({f.folder.filePath("busy.bmp"), 0});
    bool busy = false;
    QTimer::singleShot(0, f.window.get(), [&] {
        busy = f.window->isBusy();
        f.find<QPushButton>("btn_load")->click();
        f.find<QPushButton>("btn_save1")->click();
        pickEntry(f.find<QComboBox>("cb2"), 2);
    });
    f.calc();
    QVERIFY(busy);
    QVERIFY(f.prompts->dialogs.empty());
    QVERIFY(f.prompts->messages.empty());
    QCOMPARE(f.find<QLineEdit>("txt_out")->text(), QStringLiteral("result.dat"));
    // The list changed during the run is gridded once the run has ended.
    QCOMPARE(f.find<QComboBox>("cb2")->currentIndex(), 2);
    QCOMPARE(f.picture("img_regta"), asQImage(directPreviews(2, 1).image(2)));
}

// A change of cb1 during a run, and two of cb2 during a list's gridding: the pictures end
// showing what the lists name, and Save writes that picture under that name.
void WindowPreviewsTest::list_changes_during_work_are_applied_when_it_ends() {
    PreviewFixture f;
    f.window->show();
    auto* cb1 = f.find<QComboBox>("cb1");
    auto* cb2 = f.find<QComboBox>("cb2");
    QTimer::singleShot(0, f.window.get(), [&] { pickEntry(cb1, 0); });  // HEIGHT
    f.calc();
    QVERIFY(!f.window->isBusy());
    QCOMPARE(cb1->currentText(), QStringLiteral("HEIGHT"));
    QCOMPARE(f.picture("img_uba"), asQImage(directPreviews(0, 1, 0).image(1)));
    QVERIFY(f.picture("img_uba") != asQImage(directPreviews(0, 1).image(1)));

    // cb2 from HGGAX: Down to HGGAY starts a gridding, two more Downs meanwhile reach VGGA.
    bool presses_done = false;
    int busy_seen = 0;
    QTimer::singleShot(0, f.window.get(), [&] {
        busy_seen = f.window->isBusy();
        QTest::keyClick(cb2, Qt::Key_Down);
        QTest::keyClick(cb2, Qt::Key_Down);
        presses_done = true;
    });
    cb2->setFocus();
    QTest::keyClick(cb2, Qt::Key_Down);
    QVERIFY(presses_done);
    QVERIFY(busy_seen);
    QCOMPARE(cb2->currentText(), QStringLiteral("VGGA"));
    QCOMPARE(f.picture("img_regta"), asQImage(directPreviews(3, 1).image(2)));

    f.prompts->files.push_back({f.folder.filePath("second.bmp"), SAVE_AS_BITMAP});
    f.find<QPushButton>("btn_save2")->click();
    QCOMPARE(f.prompts->dialogs.back().current_name,
             QStringLiteral("vgga_r=360_iter=0_object=rga.bmp"));
    QImage saved(f.folder.filePath("second.bmp"));
    QCOMPARE(saved.convertToFormat(QImage::Format_RGB32), f.picture("img_regta"));
}

void WindowPreviewsTest::tendency_change_after_a_run_clears_pictures_it_no_longer_names() {
    PreviewFixture f;
    f.window->show();
    auto* cb2 = f.find<QComboBox>("cb2");
    pickEntry(cb2, 4);  // RGA, before the run
    f.calc();
    const QImage rga = f.picture("img_regta");
    QVERIFY(!isCleared(rga));
    // Tendency 0 names entry 4 ASIG: the RGA map must not stay under it.
    f.find<RadioGroup>("rg_tendencies")->button(0)->click();
    QCOMPARE(cb2->currentText(), QStringLiteral("ASIG"));
    QVERIFY(isCleared(f.picture("img_regta")));
    f.prompts->files.push_back({f.folder.filePath("asig.bmp"), SAVE_AS_BITMAP});
    f.find<QPushButton>("btn_save2")->click();
    QVERIFY(!QFile::exists(f.folder.filePath("asig.bmp")));
    // Back to the run's tendency: the lists name its quantities again and are gridded.
    f.find<RadioGroup>("rg_tendencies")->button(1)->click();
    pickEntry(cb2, 4);
    QCOMPARE(f.picture("img_regta"), rga);
}

// A survey whose name holds a blank: its result file loads, the fields get numbers, and
// the settings are written at Exit.
void WindowPreviewsTest::load_of_a_file_from_an_input_name_with_blanks() {
    PreviewFixture f;
    QFile::copy(f.folder.filePath("survey.dat"), f.folder.filePath("my survey.dat"));
    f.find<QLineEdit>("txt_in")->setText(QStringLiteral("my survey.dat"));
    f.find<QLineEdit>("txt_out")->setText(QStringLiteral("my out.dat"));
    f.calc();
    QVERIFY(f.prompts->messages.empty());
    f.find<QLineEdit>("txt_radius")->setText(QStringLiteral("55"));
    f.find<QLineEdit>("txt_iter")->setText(QStringLiteral("3"));
    f.prompts->files.push_back({f.folder.filePath("my out.dat"), 0});
    f.find<QPushButton>("btn_load")->click();
    QVERIFY(f.prompts->messages.empty());
    QVERIFY(f.window->resultsReady());
    QCOMPARE(f.find<QLineEdit>("txt_radius")->text(), QStringLiteral("360"));
    QCOMPARE(f.find<QLineEdit>("txt_iter")->text(), QStringLiteral("0"));
    QVERIFY(!isCleared(f.picture("img_regta")));
    f.window->close();
    QVERIFY(f.prompts->messages.empty());
    QVERIFY(QFile::exists(f.folder.filePath("orvane.cfg")));
}

// During a list's gridding and a load's, Stop is there and works, and what cannot act
// is disabled; a cancelled gridding leaves its picture empty, not showing the old map.
void WindowPreviewsTest::stop_reaches_the_gridding_of_a_list_or_a_load() {
    PreviewFixture f;
    f.window->show();
    f.calc();
    const QImage hggax = f.picture("img_regta");
    for (const bool by_load : {false, true}) {
        bool stop_visible = false, calc_enabled = true, load_enabled = true, save_enabled = true;
        QTimer::singleShot(0, f.window.get(), [&] {
            stop_visible = f.find<QPushButton>("btn_stop")->isVisible();
            calc_enabled = f.find<QPushButton>("btn_calc")->isEnabled();
            load_enabled = f.find<QPushButton>("btn_load")->isEnabled();
            save_enabled = f.find<QPushButton>("btn_save2")->isEnabled();
            f.find<QPushButton>("btn_stop")->click();
        });
        f.prompts->answers = {true};
        const std::size_t asked = f.prompts->questions.size();
        if (by_load) {
            f.prompts->files.push_back({f.folder.filePath("result.dat"), 0});
            f.find<QPushButton>("btn_load")->click();
        } else {
            pickEntry(f.find<QComboBox>("cb2"), 1);
        }
        QVERIFY(stop_visible);
        QVERIFY(!calc_enabled);
        QVERIFY(!load_enabled);
        QVERIFY(!save_enabled);
        QCOMPARE(f.prompts->questions.size(), asked + 1);
        QCOMPARE(f.prompts->questions.back().text, QStringLiteral("Cancel calculation?"));
        QVERIFY(!f.window->isBusy());
        QVERIFY(f.find<QPushButton>("btn_exit")->isVisible());
        QVERIFY(f.find<QPushButton>("btn_calc")->isEnabled());
        QVERIFY(f.picture("img_regta") != hggax);
        // Nothing agrees with the list, so nothing is saved under its name.
        f.prompts->files.push_back({f.folder.filePath("cancelled.bmp"), SAVE_AS_BITMAP});
        f.find<QPushButton>("btn_save2")->click();
        QVERIFY(!QFile::exists(f.folder.filePath("cancelled.bmp")));
        f.prompts->files.clear();
    }
}

void WindowPreviewsTest::name_dialogs_fill_fields_and_remember_filters() {
    WindowFixture f;
    auto* txt_in = f.find<QLineEdit>("txt_in");
    txt_in->setText(QStringLiteral("old.dat"));
    f.prompts->files.push_back({"/data/lines.xyz", 1});
    f.find<QPushButton>("btn_in")->click();
    QCOMPARE(txt_in->text(), QStringLiteral("/data/lines.xyz"));
    const auto& first = f.prompts->dialogs[0];
    QCOMPARE(first.spec.id, FileDialogId::Open1);
    QVERIFY(!first.spec.save);
    QCOMPARE(first.current_name, QStringLiteral("old.dat"));
    QCOMPARE(first.filter_index, 0);
    QCOMPARE(first.spec.default_suffix, QStringLiteral("dat"));
    // Each description as given, then the pattern the dialog filters by; "*.*" is every
    // file, also one without a dot.
    QCOMPARE(first.spec.filters,
             QStringList({"Surfer DAT files (*.dat) (*.dat)", "Geosoft XYZ files(*.xyz) (*.xyz)",
                          "All files (*.*) (*)"}));

    // The subset shares open dialog 1 and its remembered filter; cancel keeps the text.
    f.find<QLineEdit>("txt_log")->setText(QStringLiteral("keep.dat"));
    f.find<QPushButton>("btn_log")->click();
    QCOMPARE(f.prompts->dialogs[1].filter_index, 1);
    QCOMPARE(f.find<QLineEdit>("txt_log")->text(), QStringLiteral("keep.dat"));

    // The output's save dialog resets the open dialog's filter, not its own.
    f.prompts->files.push_back({"/data/out.xyz", 1});
    f.find<QPushButton>("btn_out")->click();
    const auto& save = f.prompts->dialogs[2];
    QCOMPARE(save.spec.id, FileDialogId::Save1);
    QVERIFY(save.spec.save);
    QCOMPARE(save.spec.filters,
             QStringList({"Surfer DAT files (*.dat) (*.dat)", "Geosoft XYZ files (*.xyz) (*.xyz)",
                          "All files (*.*) (*)"}));
    QCOMPARE(f.find<QLineEdit>("txt_out")->text(), QStringLiteral("/data/out.xyz"));
    f.find<QPushButton>("btn_in")->click();
    QCOMPARE(f.prompts->dialogs[3].filter_index, 0);
    f.find<QPushButton>("btn_out")->click();
    QCOMPARE(f.prompts->dialogs[4].filter_index, 1);
    QCOMPARE(fileDialogSpec(FileDialogId::Open2).filters,
             QStringList({"Calculated Orvane files (*.dat) (*.dat)",
                          "Calculated Orvane files (*.xyz) (*.xyz)"}));
}

QTEST_MAIN(WindowPreviewsTest)
#include "window_previews_test.moc"
