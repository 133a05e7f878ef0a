// "&Calc" from the window: the checks and their focus, conversion failures, a whole run
// compared with the engine's and with the reference result, Stop, and closing mid-run.

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QRadioButton>
#include <QTimer>
#include <QtTest>

#include "orvw/widgets/radio_group.h"
#include "engine/run/run_calculation.h"
#include "engine/run/run_checks.h"
#include "tests/orvw/window_fixture.h"
#include "tests/support/fake_monitor.h"
#include "engine/run/run_state.h"
#include "settings/settings_file.h"

namespace {

const QString REFERENCE = QStringLiteral(ORVANE_TEST_DATA "/reference/c01_sphere_l4_svd");

QByteArray readAll(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll();
}

int rowsOf(const QByteArray& result) {
    return static_cast<int>(result.count('\n')) - 2;
}

// A window working in a folder of its own holding the reference survey, with the
// reference case's settings typed in (they are the window's defaults but the radius).
struct RunFixture : WindowFixture {
    QString previous_folder = QDir::currentPath();

    explicit RunFixture(unsigned threads = 1) : WindowFixture({}, '.', threads) {
        QFile::copy(REFERENCE + "/survey.dat", folder.filePath("survey.dat"));
        QDir::setCurrent(folder.path());
        field("txt_in")->setText(QStringLiteral("survey.dat"));
        field("txt_out")->setText(QStringLiteral("result.dat"));
        field("txt_radius")->setText(QStringLiteral("360"));
    }
    ~RunFixture() { QDir::setCurrent(previous_folder); }

    QLineEdit* field(const char* name) const { return find<QLineEdit>(name); }
    QPushButton* button(const char* name) const { return find<QPushButton>(name); }
    QByteArray result() const { return readAll(folder.filePath("result.dat")); }
    QString focused() const {
        QWidget* focus = window->focusWidget();
        return focus ? focus->objectName() : QString();
    }
};

}  // namespace

class WindowRunTest : public QObject {
    Q_OBJECT
private slots:
    void calc_checks_stop_with_message_and_focus_data();
    void calc_checks_stop_with_message_and_focus();
    void names_differing_in_case_pass_the_checks();
    void a_field_that_does_not_convert_ends_calc_data();
    void a_field_that_does_not_convert_ends_calc();
    void of_several_bad_fields_calc_names_the_first_it_reads_data();
    void of_several_bad_fields_calc_names_the_first_it_reads();
    void the_settings_file_keeps_the_alpha_of_the_last_run();
    void calc_writes_the_reference_result();
    void calc_equals_the_engine_called_directly();
    void buttons_switch_during_the_run_and_back();
    void stop_answered_no_finishes_the_run();
    void stop_answered_yes_ends_the_run_keeping_rows();
    void closing_during_a_run_unwinds_then_closes();
    void all_cores_write_the_same_file_and_still_stop();
    void keys_stop_a_run_and_the_focus_returns_to_calc_data();
    void keys_stop_a_run_and_the_focus_returns_to_calc();
    void the_bar_tells_what_the_run_does_and_how_it_ended();
};

void WindowRunTest::keys_stop_a_run_and_the_focus_returns_to_calc_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::newRow("Esc") << int(Qt::Key_Escape) << int(Qt::NoModifier);
    // Save is disabled during a run, so Alt+S is Stop's alone.
    QTest::newRow("Alt+S") << int(Qt::Key_S) << int(Qt::AltModifier);
}

void WindowRunTest::keys_stop_a_run_and_the_focus_returns_to_calc() {
    QFETCH(int, key);
    QFETCH(int, modifiers);
    RunFixture f;
    f.window->show();
    f.window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(f.window.get()));
    f.prompts->answers = {true};
    QString focus_during;
    QTimer::singleShot(0, f.window.get(), [&] {
        focus_during = f.focused();
        QTest::keyClick(f.window->focusWidget(), static_cast<Qt::Key>(key),
                        static_cast<Qt::KeyboardModifiers>(modifiers));
        // A mnemonic presses its button as a click does, shown down for a moment first.
        QTest::qWait(300);
    });
    f.button("btn_calc")->setFocus();
    QTest::keyClick(f.button("btn_calc"), Qt::Key_Space);
    QCOMPARE(f.prompts->questions.size(), std::size_t{1});
    QCOMPARE(f.prompts->questions[0].text, QStringLiteral("Cancel calculation?"));
    QVERIFY(rowsOf(f.result()) < 400);
    // Never on a setting that a key would change: Stop while it runs, Calc after.
    QCOMPARE(focus_during, QStringLiteral("btn_stop"));
    QCOMPARE(f.focused(), QStringLiteral("btn_calc"));
}

void WindowRunTest::the_bar_tells_what_the_run_does_and_how_it_ended() {
    RunFixture f;
    f.window->show();
    auto* bar = f.find<QProgressBar>("ProgressBar1");
    QString first_text;
    QTimer::singleShot(0, f.window.get(), [&] { first_text = bar->isTextVisible() ? bar->text() : QString(); });
    f.button("btn_calc")->click();
    QCOMPARE(first_text, QStringLiteral("Reading input ..."));
    QCOMPARE(bar->value(), bar->maximum());
    QVERIFY(bar->isTextVisible());
    QVERIFY2(QRegularExpression(QStringLiteral("^400 rows written, 0 failed, \\d+\\.\\d s$"))
                 .match(bar->text())
                 .hasMatch(),
             qPrintable(bar->text()));
    QCOMPARE(bar->geometry(), QRect(181, 443, 376, 17));

    f.prompts->answers = {true};
    QTimer::singleShot(0, f.button("btn_stop"), &QPushButton::click);
    f.button("btn_calc")->click();
    QCOMPARE(bar->value(), bar->maximum());
    QCOMPARE(bar->text(), QStringLiteral("stopped after %1 rows").arg(rowsOf(f.result())));
}

void WindowRunTest::calc_checks_stop_with_message_and_focus_data() {
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("radius");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("focus");
    QTest::newRow("no input") << "" << "b.dat" << "5" << "Input file name is required field."
                              << "txt_in";
    QTest::newRow("no output") << "a.dat" << "" << "5" << "Output file name is required field."
                               << "txt_out";
    QTest::newRow("same names") << "a.dat" << "a.dat" << "5"
                                << "Input and output file name must not be the same."
                                << "txt_out";
    QTest::newRow("no input before bad radius") << "" << "" << "x"
                                                << "Input file name is required field."
                                                << "txt_in";
    for (const char* radius : {"0", "1e-6", "-5"})
        QTest::newRow(radius) << "a.dat" << "b.dat" << radius
                              << "Search radius must be greater than 0." << "txt_radius";
}

void WindowRunTest::calc_checks_stop_with_message_and_focus() {
    QFETCH(QString, input);
    QFETCH(QString, output);
    QFETCH(QString, radius);
    QFETCH(QString, message);
    QFETCH(QString, focus);
    RunFixture f;
    f.field("txt_in")->setText(input);
    f.field("txt_out")->setText(output);
    f.field("txt_radius")->setText(radius);
    f.field("txt_npoints")->setFocus();
    f.button("btn_calc")->click();
    QCOMPARE(f.prompts->messages.size(), std::size_t{1});
    QCOMPARE(f.prompts->messages[0].text, message);
    QCOMPARE(f.focused(), focus);
    QVERIFY(f.button("btn_calc")->isEnabled());
    QVERIFY(!QFile::exists(f.folder.filePath("a.dat")));
    QVERIFY(!QFile::exists(f.folder.filePath("b.dat")));
}

// The comparison is exact: these names differ, and the run starts (and finds no file).
void WindowRunTest::names_differing_in_case_pass_the_checks() {
    RunFixture f;
    f.field("txt_in")->setText(QStringLiteral("a.dat"));
    f.field("txt_out")->setText(QStringLiteral("A.dat"));
    f.button("btn_calc")->click();
    QCOMPARE(f.prompts->messages.size(), std::size_t{1});
    QVERIFY(f.prompts->messages[0].text != QStringLiteral("Input and output file name must not be the same."));
    QVERIFY(f.button("btn_calc")->isEnabled());
    QVERIFY(!f.window->resultsReady());
}

void WindowRunTest::a_field_that_does_not_convert_ends_calc_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("mended");
    // The field's label follows on a line of its own.
    QTest::newRow("radius") << "txt_radius" << "12a"
                            << "'12a' cannot be read as a number\nRadius for search [m]" << "360";
    QTest::newRow("grid radius") << "txt_nearest" << ""
                                 << "'' cannot be read as a number\nRadius for gridding [m]"
                                 << "0";
    QTest::newRow("threshold")
        << "txt_threshold" << "t"
        << "'t' cannot be read as a number\nThreshold for singular values (if < 0 then "
           "threshold is calculated other entered value is used)"
        << "-1";
    QTest::newRow("points") << "txt_npoints" << "many"
                            << "'many' cannot be read as a whole number\nN nearest points"
                            << "10";
    QTest::newRow("iterations")
        << "txt_iter" << "2.5"
        << "'2.5' cannot be read as a whole number\nNumber of iterations (0 .. 10000)" << "0";
    QTest::newRow("iterations above range")
        << "txt_iter" << "10001" << "Number of iteration must be in range 0 .. 10000" << "0";
    QTest::newRow("quotient") << "txt_seqquot" << "q"
                              << "'q' cannot be read as a number\nSequence quotient" << "2";
}

void WindowRunTest::a_field_that_does_not_convert_ends_calc() {
    QFETCH(QString, field);
    QFETCH(QString, text);
    QFETCH(QString, message);
    QFETCH(QString, mended);
    RunFixture f;
    f.field(qPrintable(field))->setText(text);
    f.button("btn_calc")->click();
    QCOMPARE(f.prompts->messages.size(), std::size_t{1});
    QCOMPARE(f.prompts->messages[0].text, message);
    // The focus is in the field to mend (a disabled one cannot take it).
    if (f.field(qPrintable(field))->isEnabled())
        QCOMPARE(f.window->focusWidget(), f.field(qPrintable(field)));
    QVERIFY(!QFile::exists(f.folder.filePath("result.dat")));
    QVERIFY(f.button("btn_calc")->isEnabled());
    QVERIFY(!f.window->isBusy());
    // The window stays usable: with the field mended the run goes through.
    f.field(qPrintable(field))->setText(mended);
    f.button("btn_calc")->click();
    QCOMPARE(f.prompts->messages.size(), std::size_t{1});
    QVERIFY(f.window->resultsReady());
}

// Calc reads the number fields in an order of its own (radius, alpha, iterations, grid
// radius, threshold, points, then the L-curve fields), which is not the settings file's;
// the first that does not convert is named and takes the focus.
void WindowRunTest::of_several_bad_fields_calc_names_the_first_it_reads_data() {
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("focus");
    QTest::newRow("radius check before grid radius")
        << QStringList{"txt_nearest", "txt_radius"} << QStringList{"", "0"}
        << "Search radius must be greater than 0." << "txt_radius";
    QTest::newRow("alpha before iterations")
        << QStringList{"txt_iter", "txt_alpha"} << QStringList{"x", "a"}
        << "'a' cannot be read as a number" << "txt_alpha";
    QTest::newRow("iterations before grid radius")
        << QStringList{"txt_nearest", "txt_iter"} << QStringList{"", "x"}
        << "'x' cannot be read as a whole number" << "txt_iter";
    QTest::newRow("iteration range before grid radius")
        << QStringList{"txt_nearest", "txt_iter"} << QStringList{"", "10001"}
        << "Number of iteration must be in range 0 .. 10000" << "txt_iter";
    QTest::newRow("threshold before points")
        << QStringList{"txt_npoints", "txt_threshold"} << QStringList{"n", "t"}
        << "'t' cannot be read as a number" << "txt_threshold";
    QTest::newRow("points before quotient")
        << QStringList{"txt_seqquot", "txt_npoints"} << QStringList{"q", "n"}
        << "'n' cannot be read as a whole number" << "txt_npoints";
}

void WindowRunTest::of_several_bad_fields_calc_names_the_first_it_reads() {
    QFETCH(QStringList, fields);
    QFETCH(QStringList, texts);
    QFETCH(QString, message);
    QFETCH(QString, focus);
    RunFixture f;
    for (qsizetype i = 0; i < fields.size(); ++i) f.field(qPrintable(fields[i]))->setText(texts[i]);
    f.field("txt_npoints")->setFocus();
    f.button("btn_calc")->click();
    QCOMPARE(f.prompts->messages.size(), std::size_t{1});
    // The first line is the conversion error; the field's label follows on the second.
    QCOMPARE(f.prompts->messages[0].text.section(QLatin1Char('\n'), 0, 0), message);
    QCOMPARE(f.focused(), focus);
    QVERIFY(!QFile::exists(f.folder.filePath("result.dat")));
}

// The file keeps the alpha a run took, not what its field holds meanwhile.
void WindowRunTest::the_settings_file_keeps_the_alpha_of_the_last_run() {
    const auto stored_alpha = [](const QString& path) {
        SettingsBlock block;
        if (read_settings_file(path.toStdString(), block) != SettingsReadStatus::Read)
            return -1.0;
        return block.real(settings_field::txt_alpha);
    };
    {
        RunFixture f;
        f.field("txt_alpha")->setText(QStringLiteral("0.5"));
        f.window->close();
        QCOMPARE(stored_alpha(f.folder.filePath("orvane.cfg")), 0.01);
    }
    RunFixture f;
    f.field("txt_alpha")->setText(QStringLiteral("0.5"));
    f.button("btn_calc")->click();
    QVERIFY(f.prompts->messages.empty());
    f.field("txt_alpha")->setText(QStringLiteral("0.75"));
    f.window->close();
    QCOMPARE(stored_alpha(f.folder.filePath("orvane.cfg")), 0.5);
}

void WindowRunTest::calc_writes_the_reference_result() {
    RunFixture f;
    f.button("btn_calc")->click();
    QVERIFY(f.prompts->messages.empty());
    QVERIFY(f.window->resultsReady());
    const QByteArray expected = readAll(REFERENCE + "/expected.dat");
    QVERIFY(!expected.isEmpty());
    QCOMPARE(f.result(), expected);
}

// Every control the run reads, set away from its default, reaches the run: the same
// settings handed to the engine directly give the same file.
void WindowRunTest::calc_equals_the_engine_called_directly() {
    RunFixture f;
    f.find<RadioGroup>("rg_tendencies")->button(3)->click();
    f.find<RadioGroup>("rg_method")->button(0)->click();
    f.find<RadioGroup>("rg_search")->button(1)->click();
    f.find<QComboBox>("cmb_centerx")->setCurrentIndex(1);
    f.find<QComboBox>("cmb_centerz")->setCurrentIndex(2);
    f.find<QCheckBox>("chb_cpin")->setChecked(true);
    f.field("txt_npoints")->setText(QStringLiteral("14"));
    f.field("txt_iter")->setText(QStringLiteral("2"));
    f.button("btn_calc")->click();
    QVERIFY(f.prompts->messages.empty());
    const QByteArray from_window = f.result();

    RunSettings settings;
    settings.input_file = "survey.dat";
    settings.output_file = "direct.dat";
    settings.trace_file = derive_trace_file(settings.input_file);
    settings.search_radius = 360.0;
    settings.cell_size = 0.1 * 360.0;
    settings.grid_radius = 360.0;
    settings.tendency = Tendency::Quadratic10x10;
    settings.solver = SolverKind::GaussJordan;
    settings.search_mode = SearchMode::NNearest;
    settings.centering_x = CenteringMode::CenterToMean;
    settings.centering_z = CenteringMode::CenterToPoint;
    settings.include_calc_point = true;
    settings.nearest_count = 14;
    settings.iterations = 2;
    RunState state;
    FakeMonitor monitor;
    QCOMPARE(run_calculation(settings, state, monitor, nullptr), 0);
    QVERIFY(monitor.messages.empty());
    const QByteArray direct = readAll(f.folder.filePath("direct.dat"));
    QVERIFY(rowsOf(direct) > 300);
    QCOMPARE(from_window, direct);
}

void WindowRunTest::buttons_switch_during_the_run_and_back() {
    RunFixture f;
    f.window->show();
    bool seen = false, calc_enabled = true, exit_visible = true, stop_visible = false;
    bool busy = false;
    QTimer::singleShot(0, f.window.get(), [&] {
        seen = true;
        calc_enabled = f.button("btn_calc")->isEnabled();
        exit_visible = f.button("btn_exit")->isVisible();
        stop_visible = f.button("btn_stop")->isVisible();
        busy = f.window->isBusy();
        // Calc cannot be started a second time meanwhile.
        f.window->btn_calcClick();
    });
    f.button("btn_calc")->click();
    QVERIFY(seen);
    QVERIFY(!calc_enabled);
    QVERIFY(!exit_visible);
    QVERIFY(stop_visible);
    QVERIFY(busy);
    QVERIFY(f.button("btn_calc")->isEnabled());
    QVERIFY(f.button("btn_exit")->isVisible());
    QVERIFY(!f.button("btn_stop")->isVisible());
    QCOMPARE(rowsOf(f.result()), 400);
}

void WindowRunTest::stop_answered_no_finishes_the_run() {
    RunFixture f;
    f.window->show();
    f.prompts->answers = {false};
    QTimer::singleShot(0, f.button("btn_stop"), &QPushButton::click);
    f.button("btn_calc")->click();
    QCOMPARE(f.prompts->questions.size(), std::size_t{1});
    QCOMPARE(f.prompts->questions[0].text, QStringLiteral("Cancel calculation?"));
    QCOMPARE(f.prompts->questions[0].caption, QStringLiteral("Warning"));
    QCOMPARE(f.result(), readAll(REFERENCE + "/expected.dat"));
    QVERIFY(f.window->resultsReady());
}

void WindowRunTest::stop_answered_yes_ends_the_run_keeping_rows() {
    RunFixture f;
    f.window->show();
    f.prompts->answers = {true};
    QTimer::singleShot(0, f.button("btn_stop"), &QPushButton::click);
    f.button("btn_calc")->click();
    QCOMPARE(f.prompts->questions.size(), std::size_t{1});
    const QByteArray partial = f.result();
    const QByteArray full = readAll(REFERENCE + "/expected.dat");
    QVERIFY(rowsOf(partial) >= 0);
    QVERIFY(rowsOf(partial) < 400);
    QVERIFY(full.startsWith(partial));
    QVERIFY(!f.window->resultsReady());
    QVERIFY(f.button("btn_calc")->isEnabled());
    QVERIFY(f.button("btn_exit")->isVisible());
    // The flag is spent: the next run goes through without a question.
    f.button("btn_calc")->click();
    QCOMPARE(f.prompts->questions.size(), std::size_t{1});
    QCOMPARE(f.result(), full);
}

// Closing mid-run is not refused and asks nothing: the run stops at its next point with
// its file closed and its rows kept, then the window closes and writes its settings.
void WindowRunTest::closing_during_a_run_unwinds_then_closes() {
    RunFixture f;
    f.window->show();
    const QString settings_path = f.folder.filePath("orvane.cfg");
    QVERIFY(!QFile::exists(settings_path));
    QTimer::singleShot(0, f.window.get(), &QWidget::close);
    f.button("btn_calc")->click();
    QVERIFY(f.prompts->questions.empty());
    QVERIFY(f.prompts->messages.empty());
    QVERIFY(!f.window->isVisible());
    QVERIFY(!f.window->isBusy());
    QVERIFY(!f.window->resultsReady());
    const QByteArray partial = f.result();
    QVERIFY(rowsOf(partial) < 400);
    QVERIFY(readAll(REFERENCE + "/expected.dat").startsWith(partial));
    QCOMPARE(QFileInfo(settings_path).size(), qint64{903});
}

// The window's own setting: the fits run on all cores, the rows and questions come in
// file order on the window's thread.
void WindowRunTest::all_cores_write_the_same_file_and_still_stop() {
    RunFixture f(0);
    f.window->show();
    f.button("btn_calc")->click();
    QVERIFY(f.prompts->messages.empty());
    const QByteArray full = readAll(REFERENCE + "/expected.dat");
    QCOMPARE(f.result(), full);

    f.prompts->answers = {true};
    QTimer::singleShot(0, f.button("btn_stop"), &QPushButton::click);
    f.button("btn_calc")->click();
    QCOMPARE(f.prompts->questions.size(), std::size_t{1});
    QCOMPARE(f.prompts->questions[0].text, QStringLiteral("Cancel calculation?"));
    QVERIFY(rowsOf(f.result()) < 400);
    QVERIFY(full.startsWith(f.result()));
    QVERIFY(f.button("btn_calc")->isEnabled());
}

QTEST_MAIN(WindowRunTest)
#include "window_run_test.moc"
