#include "tests/orvw/window_monkey.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <cstdlib>

#include "engine/points/number_text.h"
#include "engine/run/run_calculation.h"
#include "engine/run/run_checks.h"
#include "engine/run/run_state.h"
#include "orvgrid/map/map_snapshot.h"
#include "orvgrid/preview_set.h"
#include "tests/orvw/monkey_pictures.h"
#include "tests/orvw/monkey_prompts.h"
#include "tests/support/fake_monitor.h"

namespace {

const QString SURVEY = QStringLiteral(ORVANE_TEST_DATA "/reference/c01_sphere_l4_svd/survey.dat");

}  // namespace

MonkeyConfig MonkeyConfig::fromEnvironment() {
    MonkeyConfig config;
    if (const char* seed = std::getenv("ORVANE_MONKEY_SEED"); seed && *seed)
        config.seed = std::strtoull(seed, nullptr, 10);
    if (const char* seconds = std::getenv("ORVANE_MONKEY_SECONDS"); seconds && *seconds)
        config.seconds = std::strtod(seconds, nullptr);
    if (const char* limit = std::getenv("ORVANE_MONKEY_STEP_TIMEOUT"); limit && *limit)
        config.step_timeout_seconds = std::atoi(limit);
    return config;
}

WindowMonkey::WindowMonkey(const MonkeyConfig& config, const QString& folder)
    : config_(config),
      folder_(folder),
      random_(config.seed),
      trail_(config.seed, config.step_timeout_seconds) {
    makeFiles();
    createWindow();
    restoreSaneSettings();
}

WindowMonkey::~WindowMonkey() = default;

// The survey, a subset of three of its stations, and result files of other tendencies,
// one of the N-nearest search, and two that are refused.
void WindowMonkey::makeFiles() {
    QFile::copy(SURVEY, folder_ + "/survey.dat");
    QFile::copy(SURVEY, folder_ + "/my survey.dat");
    QFile survey(SURVEY);
    QFile subset(folder_ + "/subset.dat");
    if (survey.open(QIODevice::ReadOnly) && subset.open(QIODevice::WriteOnly))
        for (int line = 0; line < 3; ++line) subset.write(survey.readLine());
    subset.close();

    struct Made {
        const char* name;
        Tendency tendency;
        SearchMode search;
    };
    for (const Made& made : {Made{"made_t0.dat", Tendency::Linear3x3, SearchMode::Radius},
                             Made{"made_t2.dat", Tendency::Linear6x6, SearchMode::Radius},
                             Made{"made_t3.dat", Tendency::Quadratic10x10, SearchMode::Radius},
                             Made{"made_nearest.dat", Tendency::Linear4x4, SearchMode::NNearest}}) {
        RunSettings settings;
        settings.input_file = (folder_ + "/survey.dat").toStdString();
        settings.output_file = (folder_ + "/" + made.name).toStdString();
        settings.trace_file = derive_trace_file(settings.input_file);
        settings.search_radius = 450.0;
        settings.cell_size = 45.0;
        settings.grid_radius = 450.0;
        settings.tendency = made.tendency;
        settings.search_mode = made.search;
        RunState state;
        FakeMonitor monitor;
        monitor.then_answer = true;
        run_calculation(settings, state, monitor, nullptr);
    }
    QFile made(folder_ + "/made_t0.dat");
    QByteArray bytes;
    if (made.open(QIODevice::ReadOnly)) bytes = made.readAll();
    QFile upper(folder_ + "/upper.dat");
    if (upper.open(QIODevice::WriteOnly)) upper.write(QByteArray(bytes).replace(0, 4, "MAP:"));
    QFile header_only(folder_ + "/header_only.dat");
    if (header_only.open(QIODevice::WriteOnly))
        header_only.write(bytes.left(bytes.indexOf('\n') + 1));
}

// Preview 1 as a run with these settings draws it before its point loop, from the points
// as read: HEIGHT and CBA. Nothing when the settings read no points.
const std::array<QImage, 2>* WindowMonkey::asReadPictures(const CalcPress& press) {
    if (auto found = as_read_.find(press); found != as_read_.end()) return &found->second;
    const auto radius = parse_double(press.radius.toStdString(), '.');
    const auto grid = parse_double(press.grid_radius.toStdString(), '.');
    if (!radius || !grid || !(*radius > 1e-6)) return nullptr;
    RunSettings settings;
    settings.input_file = press.input.toStdString();
    settings.output_file = (folder_ + "/as_read.dat").toStdString();
    settings.trace_file = derive_trace_file(settings.input_file);
    settings.column_x = press.columns[0];
    settings.column_y = press.columns[1];
    settings.column_point = press.columns[2];
    settings.column_height = press.columns[3];
    settings.column_cba = press.columns[4];
    settings.search_radius = *radius;
    settings.cell_size = 0.1 * settings.search_radius;
    settings.grid_radius = *grid < 1e-6 ? settings.search_radius : *grid;
    RunState state;
    FakeMonitor monitor;
    run_calculation(settings, state, monitor, nullptr);
    QFile::remove(folder_ + "/as_read.dat");
    if (state.points.count == 0) return nullptr;
    std::array<QImage, 2> pictures;
    for (int index = 0; index < 2; ++index) {
        PreviewSet previews;
        previews.grid_slot(1, index, settings.tendency, settings.search_radius,
                           settings.grid_radius, state, monitor);
        pictures[static_cast<std::size_t>(index)] = asQImage(previews.image(1));
    }
    return &(as_read_[press] = pictures);
}

void WindowMonkey::createWindow() {
    auto prompts = std::make_unique<MonkeyPrompts>(random_, trail_, tally_.questions);
    prompts_ = prompts.get();
    WindowOptions options;
    options.settings_path = (folder_ + "/orvane.cfg").toStdString();
    options.prompts = std::move(prompts);
    options.decimal_separator = '.';
    options.threads = 1;
    window_ = std::make_unique<TfrmMain>(std::move(options));
    // What a run reads its points by, as Calc is released just before its click (by
    // mouse, key or mnemonic, whose click comes a moment after the key): a run stopped
    // in its point loop leaves preview 1 of the points as read.
    calc_presses_.clear();
    QObject::connect(find<QPushButton>("btn_calc"), &QPushButton::released, [this] {
        const char* columns[] = {"cmb_gx", "cmb_gy", "cmb_point", "cmb_gz", "cmb_uba"};
        CalcPress press;
        press.input = field("txt_in")->text();
        for (std::size_t k = 0; k < 5; ++k)
            press.columns[k] = find<QComboBox>(columns[k])->currentIndex();
        press.radius = field("txt_radius")->text();
        press.grid_radius = field("txt_nearest")->text();
        calc_presses_.insert(press);
    });
    // Only Calc and Load replace the data in memory, however they are pressed.
    data_stale_ = true;
    for (const char* name : {"btn_calc", "btn_load"})
        QObject::connect(find<QPushButton>(name), &QPushButton::clicked,
                         [this] { data_stale_ = true; });
    window_->show();
    activateWindow();
}

void WindowMonkey::activateWindow() {
    if (window_->isActiveWindow()) return;
    QApplication::setActiveWindow(window_.get());
    static_cast<void>(QTest::qWaitForWindowActive(window_.get(), 200));
}

QString WindowMonkey::run() {
    QElapsedTimer clock;
    clock.start();
    // Stands for the user's hands during work: its timer fires whenever the busy window
    // processes its events.
    QTimer meddler;
    meddler.setInterval(2);
    QObject::connect(&meddler, &QTimer::timeout, [this] { meddle(); });
    meddler.start();
    const auto limit = static_cast<qint64>(config_.seconds * 1000.0);
    while (clock.elapsed() < limit && failure_.isEmpty()) {
        ++tally_.steps;
        trail_.beginStep(tally_.steps);
        startAgainIfClosed();
        step();
        for (int k = 0; k < 3; ++k) QCoreApplication::processEvents();
        startAgainIfClosed();
        if (failure_.isEmpty()) failure_ = checkQuiet();
        trail_.endStep();
    }
    meddler.stop();
    return failure_;
}

// Closed by Exit, Alt+E or the system menu, maybe once a run had unwound or a mnemonic's
// click came due: the user starts the program again.
void WindowMonkey::startAgainIfClosed() {
    if (window_->isVisible()) return;
    trail_.note("window closed; started again");
    ++tally_.windows_closed;
    prompts_ = nullptr;
    window_.reset();
    createWindow();
    // The file the window wrote at closing reads back without a word.
    if (prompts_->messages > 0)
        failure_ = fail(QStringLiteral("the settings file written at closing does not read back"));
}

void WindowMonkey::step() {
    activateWindow();
    perform(idleActions(), false);
}

// An action whenever the working window lets its events through, as a user's while
// waiting.
void WindowMonkey::meddle() {
    if (meddling_ || !window_ || !window_->isBusy() || !failure_.isEmpty()) return;
    failure_ = checkButtonsBusy();
    if (!failure_.isEmpty()) return;
    meddling_ = true;
    ++tally_.meddles;
    perform(workActions(), true);
    meddling_ = false;
}

void WindowMonkey::perform(const std::vector<Action>& actions, bool during_work) {
    int total = 0;
    for (const Action& action : actions) total += action.weight;
    int chosen = below(total);
    for (const Action& action : actions) {
        if (chosen < action.weight) {
            trail_.note(std::string(during_work ? "  (during work) " : "") + action.name);
            action.act();
            return;
        }
        chosen -= action.weight;
    }
}
