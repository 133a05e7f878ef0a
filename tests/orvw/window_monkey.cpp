#include "tests/orvw/window_monkey.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QtTest>
#include <cstdlib>
#include <cstring>

#include "engine/fit/trend_model.h"
#include "engine/run/run_calculation.h"
#include "engine/run/run_checks.h"
#include "engine/run/run_state.h"
#include "orvgrid/map/map_snapshot.h"
#include "orvgrid/preview_image.h"
#include "orvgrid/preview_set.h"
#include "orvgrid/preview_vars.h"
#include "orvw/file_dialogs.h"
#include "orvw/map/map_window.h"
#include "orvw/prompts.h"
#include "orvw/widgets/preview_picture.h"
#include "orvw/widgets/radio_group.h"
#include "tests/support/fake_monitor.h"

namespace {

const QString SURVEY = QStringLiteral(ORVANE_TEST_DATA "/reference/c01_sphere_l4_svd/survey.dat");

// The radii the monkey types: each valid pair has its preview 1 computed ahead.
const QStringList VALID_RADII = {QStringLiteral("300"), QStringLiteral("360"),
                                 QStringLiteral("450")};
const QStringList VALID_GRID_RADII = {QStringLiteral("0"), QStringLiteral("300")};

QImage asQImage(const RgbImage& image) {
    QImage result(image.width, image.height, QImage::Format_RGB32);
    for (int y = 0; y < image.height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(result.scanLine(y));
        for (int x = 0; x < image.width; ++x) {
            const std::uint8_t* rgb = image.pixel(x, y);
            line[x] = qRgb(rgb[0], rgb[1], rgb[2]);
        }
    }
    return result;
}

// A picture as the window paints it before any map: white in a black outline.
bool isCleared(const QImage& image) {
    static const QImage cleared = asQImage(cleared_preview_image(image.width(), image.height()));
    return image.size() == cleared.size() && image == cleared;
}

// FNV-1a over the data a preview is gridded from.
std::uint64_t hashOf(const MapSnapshot& data) {
    std::uint64_t hash = 1469598103934665603ull;
    const auto mix = [&hash](const void* bytes, std::size_t size) {
        const auto* p = static_cast<const unsigned char*>(bytes);
        for (std::size_t k = 0; k < size; ++k) hash = (hash ^ p[k]) * 1099511628211ull;
    };
    mix(&data.points.count, sizeof data.points.count);
    for (std::size_t p = 0; p < data.points.count; ++p) {
        mix(data.points.work[p].value, sizeof data.points.work[p].value);
        mix(&data.points.survey[p].cba, sizeof(double));
    }
    mix(&data.tendency, sizeof data.tendency);
    mix(&data.search_radius, sizeof data.search_radius);
    mix(&data.grid_radius, sizeof data.grid_radius);
    return hash;
}

bool holdsDesignEntries(const QComboBox* list) {
    const auto design = trend_model(Tendency::Linear3x3NteFay).result_list;
    if (static_cast<std::size_t>(list->count()) != design.size()) return false;
    for (int k = 0; k < list->count(); ++k)
        if (list->itemText(k) != QLatin1String(design[static_cast<std::size_t>(k)].text))
            return false;
    return true;
}

std::string firstLine(const QString& text) {
    return text.section(QLatin1Char('\n'), 0, 0).left(90).toStdString();
}

}  // namespace

// Boxes are noted and answered at random; each file dialog returns the choice the action
// put up for it, or cancel.
class MonkeyPrompts : public Prompts {
public:
    MonkeyPrompts(SurveyRandom& random, MonkeyTrail& trail, MonkeyTally& tally)
        : random_(random), trail_(trail), tally_(tally) {}

    void message(const QString& text, const QString& caption) override {
        trail_.note("box " + caption.toStdString() + ": " + firstLine(text));
    }
    bool askYesNo(const QString& text, const QString& caption) override {
        ++tally_.questions;
        const bool yes = random_.uniform(0.0, 1.0) < 0.5;
        trail_.note("question " + caption.toStdString() + ": " + firstLine(text) +
                    (yes ? " -> Yes" : " -> No"));
        return yes;
    }
    std::optional<FileChoice> openFile(const FileDialogSpec& spec, const QString& current_name,
                                       int) override {
        return answer(spec, current_name);
    }
    std::optional<FileChoice> saveFile(const FileDialogSpec& spec, const QString& current_name,
                                       int) override {
        return answer(spec, current_name);
    }

    std::optional<FileChoice> next_file;  // the next dialog's answer; none: cancel
    int dialogs = 0;
    QString last_name;  // the name the last dialog suggested
    FileDialogId last_id = FileDialogId::Open1;

private:
    std::optional<FileChoice> answer(const FileDialogSpec& spec, const QString& current_name) {
        ++dialogs;
        last_name = current_name;
        last_id = spec.id;
        std::optional<FileChoice> choice;
        std::swap(choice, next_file);
        trail_.note("dialog " + std::to_string(static_cast<int>(spec.id)) + " suggests '" +
                    current_name.toStdString() + "' -> " +
                    (choice ? QFileInfo(choice->path).fileName().toStdString() : "cancel"));
        return choice;
    }

    SurveyRandom& random_;
    MonkeyTrail& trail_;
    MonkeyTally& tally_;
};

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
    computeAsReadPictures();
    createWindow();
    restoreSaneSettings();
}

WindowMonkey::~WindowMonkey() = default;

// The survey, a subset of three of its stations, and result files of other tendencies,
// one of the N-nearest search, and two that are refused.
void WindowMonkey::makeFiles() {
    QFile::copy(SURVEY, folder_ + "/survey.dat");
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
    if (header_only.open(QIODevice::WriteOnly)) header_only.write(bytes.left(bytes.indexOf('\n') + 1));
}

// Preview 1 as a run draws it before its point loop, from the survey as read, for each
// radius pair the monkey types.
void WindowMonkey::computeAsReadPictures() {
    for (const QString& radius : VALID_RADII)
        for (const QString& grid : VALID_GRID_RADII) {
            RunSettings settings;
            settings.input_file = (folder_ + "/survey.dat").toStdString();
            settings.output_file = (folder_ + "/as_read.dat").toStdString();
            settings.trace_file = derive_trace_file(settings.input_file);
            settings.search_radius = radius.toDouble();
            settings.cell_size = 0.1 * settings.search_radius;
            settings.grid_radius = grid.toDouble() < 1e-6 ? settings.search_radius : grid.toDouble();
            RunState state;
            FakeMonitor monitor;
            run_calculation(settings, state, monitor, nullptr);
            for (int index = 0; index < 2; ++index) {
                PreviewSet previews;
                previews.grid_slot(1, index, settings.tendency, settings.search_radius,
                                   settings.grid_radius, state, monitor);
                as_read_[{index, radius, grid}] = asQImage(previews.image(1));
            }
        }
    QFile::remove(folder_ + "/as_read.dat");
}

void WindowMonkey::createWindow() {
    auto prompts = std::make_unique<MonkeyPrompts>(random_, trail_, tally_);
    prompts_ = prompts.get();
    WindowOptions options;
    options.settings_path = (folder_ + "/orvane.cfg").toStdString();
    options.prompts = std::move(prompts);
    options.decimal_separator = '.';
    options.threads = 1;
    window_ = std::make_unique<TfrmMain>(std::move(options));
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
        step();
        for (int k = 0; k < 3; ++k) QCoreApplication::processEvents();
        if (failure_.isEmpty() && !window_->isVisible()) {
            // Closed by Exit, Alt+E or the system menu, maybe once a run had unwound:
            // the user starts the program again.
            trail_.note("window closed; started again");
            ++tally_.windows_closed;
            prompts_ = nullptr;
            window_.reset();
            createWindow();
        }
        if (failure_.isEmpty()) failure_ = checkQuiet();
        trail_.endStep();
    }
    meddler.stop();
    return failure_;
}

void WindowMonkey::step() {
    perform(idleActions(), false);
}

// One action now and then while the window works, as a user's while waiting.
void WindowMonkey::meddle() {
    if (meddling_ || !window_ || !window_->isBusy() || !failure_.isEmpty()) return;
    if (!chance(0.5)) return;
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

std::vector<WindowMonkey::Action> WindowMonkey::idleActions() {
    return {
        {24, "Calc",
         [this] {
             ++tally_.calcs;
             click(find<QPushButton>("btn_calc"));
             if (window_->resultsReady()) ++tally_.runs_with_results;
         }},
        {8, "Load", [this] { load(); }},
        {8, "Save", [this] { save(); }},
        {4, "name the input", [this] { chooseInput(); }},
        {2, "name the subset",
         [this] {
             prompts_->next_file = chance(0.5) ? std::optional<FileChoice>({folder_ + "/subset.dat", 0})
                                               : std::nullopt;
             click(find<QPushButton>("btn_log"));
             if (chance(0.4)) field("txt_log")->clear();
         }},
        {2, "name the output",
         [this] {
             prompts_->next_file = FileChoice{folder_ + "/result.dat", 0};
             click(find<QPushButton>("btn_out"));
         }},
        {6, "edit the radius",
         [this] { editField("txt_radius", VALID_RADII, {"", "abc", "0", "-360", "3,6"}); }},
        {3, "edit the gridding radius",
         [this] { editField("txt_nearest", VALID_GRID_RADII, {"", "x1"}); }},
        {4, "edit the iterations",
         [this] { editField("txt_iter", {"0", "1", "2"}, {"", "12a", "-1", "10001"}); }},
        {2, "edit the threshold",
         [this] { editField("txt_threshold", {"-1", "0", "1e-6", "0.5"}, {"", "q"}); }},
        {2, "edit N", [this] { editField("txt_npoints", {"8", "10", "20"}, {"", "0", "5000"}); }},
        {2, "edit a regularisation field",
         [this] {
             const char* names[] = {"txt_minalfa", "txt_maxalfa", "txt_seqquot"};
             const QStringList valid[] = {{"1E-10", "1e-6"}, {"10000000000", "1e4"}, {"2", "3"}};
             const int k = below(3);
             editField(names[k], valid[k], {"", "1", "z"});
         }},
        {14, "change a preview list", [this] { changeList(previewList(1 + below(3))); }},
        {2, "change a centering list",
         [this] {
             const char* names[] = {"cmb_centerx", "cmb_centery", "cmb_centerz", "cmb_centeru"};
             changeList(find<QComboBox>(names[below(4)]));
         }},
        {8, "click a tendency", [this] { clickRadio("rg_tendencies"); }},
        {4, "click a method", [this] { clickRadio("rg_method"); }},
        {2, "click a search mode", [this] { clickRadio("rg_search"); }},
        {6, "toggle Preview grids", [this] { click(find<QCheckBox>("cb_preview")); }},
        {1, "toggle Point of calculation IN", [this] { click(find<QCheckBox>("chb_cpin")); }},
        {6, "press a key", [this] { pressKey(); }},
        {4, "open a map", [this] { openMap(); }},
        {3, "use a map", [this] { useMap(); }},
        {3, "close a map", [this] { closeMap(); }},
        {4, "wait", [this] { wait(); }},
        {1, "close the window", [this] { closeWindow(); }},
        {5, "restore sane settings", [this] { restoreSaneSettings(); }},
    };
}

// While work goes on: what does not start work of its own, and Stop.
std::vector<WindowMonkey::Action> WindowMonkey::workActions() {
    return {
        {16, "Stop", [this] { click(find<QPushButton>("btn_stop")); }},
        {6, "Esc",
         [this] {
             QWidget* focus = window_->focusWidget();
             QTest::keyClick(focus ? focus : window_.get(), Qt::Key_Escape);
         }},
        {16, "change a preview list", [this] { changeList(previewList(1 + below(3))); }},
        {6, "click a tendency", [this] { clickRadio("rg_tendencies"); }},
        {2, "click a method", [this] { clickRadio("rg_method"); }},
        {5, "toggle Preview grids", [this] { click(find<QCheckBox>("cb_preview")); }},
        {4, "edit the radius", [this] { editField("txt_radius", VALID_RADII, {"", "abc"}); }},
        {2, "edit the iterations",
         [this] { editField("txt_iter", {"0", "1"}, {"", "12a", "10001"}); }},
        {4, "click Calc, Load or Save",
         [this] {
             const char* names[] = {"btn_calc", "btn_load", "btn_save1", "btn_save2",
                                    "btn_save3"};
             click(find<QPushButton>(names[below(5)]));
         }},
        {3, "press a key", [this] { pressKey(); }},
        {3, "open a map", [this] { openMap(); }},
        {1, "close the window", [this] { closeWindow(); }},
        {12, "nothing", [] {}},
    };
}

QComboBox* WindowMonkey::previewList(int slot) const {
    const char* names[] = {"cb1", "cb2", "cb3"};
    return find<QComboBox>(names[slot - 1]);
}

PreviewPicture* WindowMonkey::picture(int slot) const {
    const char* names[] = {"img_uba", "img_regta", "img_delta"};
    return find<PreviewPicture>(names[slot - 1]);
}

QLineEdit* WindowMonkey::field(const char* name) const {
    return find<QLineEdit>(name);
}

// A mouse click where the user can click: on a control that is shown.
void WindowMonkey::click(QWidget* widget) {
    if (!widget || !widget->isVisible()) return;
    QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier, widget->rect().center());
}

// Into the field, its text replaced by typing, and out of it with Tab.
void WindowMonkey::editField(const char* name, const QStringList& valid, const QStringList& invalid) {
    QLineEdit* edit = field(name);
    if (!edit || !edit->isVisible() || !edit->isEnabled()) return;
    const QString text = chance(0.8) ? pick(valid) : pick(invalid);
    trail_.note(std::string("  type '") + text.toStdString() + "' into " + name);
    click(edit);
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    if (text.isEmpty())
        QTest::keyClick(edit, Qt::Key_Delete);
    else
        QTest::keyClicks(edit, text);
    if (chance(0.8)) QTest::keyClick(edit, Qt::Key_Tab);
}

// The keyboard's way through a list: each key that moves the selection is a choice.
void WindowMonkey::changeList(QComboBox* combo) {
    if (!combo || !combo->isVisible() || !combo->isEnabled()) return;
    combo->setFocus(Qt::MouseFocusReason);
    const Qt::Key keys[] = {Qt::Key_Down, Qt::Key_Up, Qt::Key_Down, Qt::Key_Home, Qt::Key_End};
    const Qt::Key key = keys[below(5)];
    trail_.note("  key " + std::to_string(static_cast<int>(key)) + " in " +
                combo->objectName().toStdString() + " at " + combo->currentText().toStdString());
    QTest::keyClick(combo, key);
}

void WindowMonkey::pressKey() {
    struct Press {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
    };
    const Press presses[] = {
        {Qt::Key_Tab, Qt::NoModifier},   {Qt::Key_Backtab, Qt::ShiftModifier},
        {Qt::Key_Space, Qt::NoModifier}, {Qt::Key_Return, Qt::NoModifier},
        {Qt::Key_Up, Qt::NoModifier},    {Qt::Key_Down, Qt::NoModifier},
        {Qt::Key_Escape, Qt::NoModifier}, {Qt::Key_C, Qt::AltModifier},
        {Qt::Key_S, Qt::AltModifier},    {Qt::Key_L, Qt::AltModifier},
        {Qt::Key_A, Qt::AltModifier},    {Qt::Key_V, Qt::AltModifier},
        {Qt::Key_E, Qt::AltModifier},    {Qt::Key_5, Qt::NoModifier},
    };
    const Press press = presses[below(static_cast<int>(std::size(presses)))];
    QWidget* focus = QApplication::focusWidget();
    if (!focus || focus->window() != window_.get()) focus = window_.get();
    trail_.note("  key " + std::to_string(static_cast<int>(press.key)) + " mod " +
                std::to_string(static_cast<int>(press.modifiers)) + " on " +
                focus->objectName().toStdString());
    QTest::keyClick(focus, press.key, press.modifiers);
}

void WindowMonkey::clickRadio(const char* group) {
    auto* radio = find<RadioGroup>(group);
    if (!radio) return;
    click(radio->button(below(radio->count())));
}

void WindowMonkey::chooseInput() {
    const int choice = below(6);
    if (choice < 4)
        prompts_->next_file = FileChoice{folder_ + "/survey.dat", 0};
    else if (choice == 4)
        prompts_->next_file = FileChoice{folder_ + "/missing_input.dat", 0};
    click(find<QPushButton>("btn_in"));
}

void WindowMonkey::load() {
    const QStringList files = {"result.dat",   "made_t0.dat",     "made_t2.dat",
                               "made_t3.dat",  "made_nearest.dat", "upper.dat",
                               "header_only.dat", "missing.dat",  "survey.dat"};
    if (chance(0.85)) prompts_->next_file = FileChoice{folder_ + "/" + pick(files), below(2)};
    ++tally_.loads;
    click(find<QPushButton>("btn_load"));
}

// A save of a random preview in a random format; a file written must hold the picture
// shown, and the name suggested must be that of the list's entry.
void WindowMonkey::save() {
    const int slot = 1 + below(3);
    const int filter = below(3);
    const QString extensions[] = {"bmp", "jpg", "grd"};
    const QString path = QStringLiteral("%1/save_%2.%3").arg(folder_).arg(++saves_).arg(extensions[filter]);
    const QImage shown = picture(slot)->image();
    const QString entry = previewList(slot)->currentText();
    const int dialogs = prompts_->dialogs;
    if (chance(0.8)) prompts_->next_file = FileChoice{path, filter};
    const char* buttons[] = {"btn_save1", "btn_save2", "btn_save3"};
    click(find<QPushButton>(buttons[slot - 1]));
    prompts_->next_file.reset();
    if (prompts_->dialogs == dialogs) return;
    if (QFile::exists(path)) {
        ++tally_.saves_written;
        if (failure_.isEmpty()) failure_ = checkSavedFile(slot, path, filter, shown, entry);
        QFile::remove(path);
    }
}

// Double-click on a picture, as the user opens a map; at most three stay open.
void WindowMonkey::openMap() {
    PreviewPicture* target = picture(1 + below(3));
    const auto before = window_->findChildren<MapWindow*>().size();
    QTest::mouseDClick(target, Qt::LeftButton, Qt::NoModifier, target->rect().center());
    const auto maps = window_->findChildren<MapWindow*>();
    if (maps.size() > before) ++tally_.maps_opened;
    if (maps.size() > 3) maps.front()->close();
    activateWindow();
}

void WindowMonkey::useMap() {
    const auto maps = window_->findChildren<MapWindow*>();
    if (maps.isEmpty()) return;
    MapWindow* map = pick(std::vector<MapWindow*>(maps.begin(), maps.end()));
    switch (below(4)) {
        case 0:
            map->findChild<QPushButton*>(QStringLiteral("map_stop"))->click();
            break;
        case 1: {
            auto* quantity = map->findChild<QComboBox*>(QStringLiteral("map_quantity"));
            quantity->setCurrentIndex(below(quantity->count()));
            break;
        }
        case 2:
            map->resize(300 + below(600), 240 + below(400));
            break;
        default:
            map->findChild<QPushButton*>(QStringLiteral("map_reset"))->click();
            break;
    }
    QTest::qWait(below(40));
    activateWindow();
}

void WindowMonkey::closeMap() {
    const auto maps = window_->findChildren<MapWindow*>();
    if (!maps.isEmpty()) pick(std::vector<MapWindow*>(maps.begin(), maps.end()))->close();
    activateWindow();
}

// The system menu's close: during work the window waits for the work to unwind.
void WindowMonkey::closeWindow() {
    window_->close();
}

void WindowMonkey::wait() {
    QTest::qWait(below(60));
}

// Valid settings typed in, so that runs come again after the monkey has spoilt them.
void WindowMonkey::restoreSaneSettings() {
    field("txt_in")->setText(folder_ + "/survey.dat");
    field("txt_out")->setText(folder_ + "/result.dat");
    for (auto [name, text] : {std::pair{"txt_radius", pick(VALID_RADII)},
                              std::pair{"txt_nearest", pick(VALID_GRID_RADII)},
                              std::pair{"txt_npoints", QStringLiteral("10")},
                              std::pair{"txt_threshold", QStringLiteral("-1")},
                              std::pair{"txt_minalfa", QStringLiteral("1E-10")},
                              std::pair{"txt_maxalfa", QStringLiteral("10000000000")},
                              std::pair{"txt_seqquot", QStringLiteral("2")}})
        field(name)->setText(text);
    if (field("txt_iter")->isEnabled()) field("txt_iter")->setText(QStringLiteral("0"));
    if (!find<QCheckBox>("cb_preview")->isChecked() && chance(0.8)) click(find<QCheckBox>("cb_preview"));
    activateWindow();
}

// ---------------------------------------------------------------------------
// Checks.

QString WindowMonkey::fail(const QString& what) const {
    return QStringLiteral("%1\n%2").arg(what, QString::fromStdString(trail_.report()));
}

QString WindowMonkey::checkQuiet() {
    ++tally_.checks;
    if (QString failed = checkButtonsIdle(); !failed.isEmpty()) return failed;
    if (QString failed = checkPictures(); !failed.isEmpty()) return failed;
    return checkSaveOffers();
}

QString WindowMonkey::checkButtonsIdle() const {
    if (window_->isBusy()) return fail(QStringLiteral("the window is still busy after its step"));
    if (!find<QPushButton>("btn_exit")->isVisible() || find<QPushButton>("btn_stop")->isVisible())
        return fail(QStringLiteral("Stop is shown instead of Exit while the window is idle"));
    for (const char* name : {"btn_calc", "btn_load", "btn_save1", "btn_save2", "btn_save3"})
        if (!find<QPushButton>(name)->isEnabled())
            return fail(QStringLiteral("%1 stays disabled while the window is idle").arg(name));
    return {};
}

// The data in memory as a map window copies it; null before results. The copy is kept
// until Calc or Load is pressed again.
const MapSnapshot* WindowMonkey::dataInMemory() {
    if (!window_->resultsReady()) return nullptr;
    if (data_ && !data_stale_) return data_.get();
    const auto before = window_->findChildren<MapWindow*>();
    if (QAction* open = picture(1)->findChild<QAction*>(QStringLiteral("open_map"))) open->trigger();
    MapWindow* opened = nullptr;
    for (MapWindow* map : window_->findChildren<MapWindow*>())
        if (!before.contains(map)) opened = map;
    if (!opened) return nullptr;
    const MapSnapshot& snapshot = opened->snapshot();
    if (!data_ || hashOf(*data_) != hashOf(snapshot)) {
        data_ = std::make_shared<MapSnapshot>(snapshot);
        if (fresh_.size() > 300) fresh_.clear();
    }
    data_stale_ = false;
    opened->close();
    activateWindow();
    return data_.get();
}

// The picture slot `slot` would show for `list_index` when gridded now from `data`; the
// CBA as read in place of the corrected one when asked (preview 1 of a run with
// iterations is drawn before its passes).
std::optional<QImage> WindowMonkey::freshPicture(const MapSnapshot& data, int slot, int list_index,
                                                 bool cba_as_read) {
    const auto key = std::make_tuple(hashOf(data), slot, list_index, cba_as_read);
    if (auto found = fresh_.find(key); found != fresh_.end()) return found->second;
    RunState state;
    state.points = data.points;
    state.index = data.index;
    if (cba_as_read)
        for (std::size_t p = 0; p < state.points.count; ++p)
            state.points.work[p].value[work::cba] = state.points.survey[p].cba;
    PreviewSet previews;
    FakeMonitor monitor;
    const GridOutcome outcome = previews.grid_slot(slot, list_index, data.tendency,
                                                   data.search_radius, data.grid_radius, state,
                                                   monitor);
    if (outcome != GridOutcome::Done) return std::nullopt;
    return fresh_[key] = asQImage(previews.image(slot));
}

QString WindowMonkey::checkPictures() {
    const MapSnapshot* data = nullptr;
    bool data_taken = false;
    for (int slot = 1; slot <= 3; ++slot) {
        const QImage shown = picture(slot)->image();
        if (isCleared(shown)) continue;
        QComboBox* list = previewList(slot);
        const QString entry = list->currentText();
        const int index = list->currentIndex();
        const QString where = QStringLiteral("preview %1 (list on '%2')").arg(slot).arg(entry);
        if (index < 0) return fail(where + QStringLiteral(" shows a map under no entry"));
        ++tally_.pictures_compared;
        if (!window_->resultsReady()) {
            // Only preview 1 of a run stopped in its point loop can be left.
            if (slot != 1)
                return fail(where + QStringLiteral(" shows a map while no results are in memory"));
            bool matched = false;
            for (const auto& [key, image] : as_read_)
                matched = matched || (std::get<0>(key) == index && image == shown);
            if (!matched)
                return fail(where + QStringLiteral(" shows no map of its entry of the survey as read"));
            continue;
        }
        if (!data_taken) {
            data = dataInMemory();
            data_taken = true;
        }
        if (!data) return fail(QStringLiteral("no map window opens on results in memory"));
        // The result lists must name the quantities of the data's tendency; the NTE/FAY
        // model's positions go by whatever entries the lists hold, and the entries of the
        // design ("HGGAX/GAX" ...) name those of every model.
        if (slot > 1 && data->tendency != Tendency::Linear3x3NteFay && !holdsDesignEntries(list)) {
            const auto names = trend_model(data->tendency).result_list;
            if (static_cast<std::size_t>(index) >= names.size() ||
                entry != QLatin1String(names[static_cast<std::size_t>(index)].text))
                return fail(where + QStringLiteral(" shows a map while the list names another "
                                                   "quantity than the data's tendency %1 keeps there")
                                        .arg(static_cast<int>(data->tendency)));
        }
        const std::optional<QImage> expected = freshPicture(*data, slot, index, false);
        bool agrees = expected && *expected == shown;
        if (!agrees && slot == 1 && index == 1) {
            const std::optional<QImage> as_read = freshPicture(*data, slot, index, true);
            agrees = as_read && *as_read == shown;
        }
        if (!agrees)
            return fail(where + QStringLiteral(" differs from a fresh gridding of its entry from "
                                               "the data in memory (tendency %1, radius %2)")
                                    .arg(static_cast<int>(data->tendency))
                                    .arg(data->search_radius));
    }
    return {};
}

// Save offers a dialog exactly for a drawn picture after results with previews on, and
// suggests the list's entry in its name.
QString WindowMonkey::checkSaveOffers() {
    const bool may_save = window_->resultsReady() && find<QCheckBox>("cb_preview")->isChecked();
    const char* buttons[] = {"btn_save1", "btn_save2", "btn_save3"};
    for (int slot = 1; slot <= 3; ++slot) {
        const bool drawn = !isCleared(picture(slot)->image());
        const int dialogs = prompts_->dialogs;
        prompts_->next_file.reset();
        find<QPushButton>(buttons[slot - 1])->click();
        const bool offered = prompts_->dialogs != dialogs;
        const QString entry = previewList(slot)->currentText();
        if (offered && !(may_save && drawn))
            return fail(QStringLiteral("Save %1 offers a dialog for %2").arg(slot).arg(
                may_save ? QStringLiteral("an empty picture") : QStringLiteral("no results")));
        if (!offered && may_save && drawn)
            return fail(QStringLiteral("Save %1 refuses the picture of '%2', which agrees with "
                                       "its list").arg(slot).arg(entry));
        if (offered) {
            const QString name = QString::fromStdString(suggested_image_name(
                entry.toStdString(), field("txt_radius")->text().toStdString(),
                field("txt_iter")->text().toStdString(),
                find<QComboBox>("cb_iter")->currentText().toStdString()));
            const QString stem = name.left(name.lastIndexOf(QLatin1Char('.')) + 1);
            if (!prompts_->last_name.startsWith(stem))
                return fail(QStringLiteral("Save %1 suggests '%2' for the entry '%3'")
                                .arg(slot)
                                .arg(prompts_->last_name, entry));
        }
    }
    return {};
}

QString WindowMonkey::checkSavedFile(int slot, const QString& path, int filter, const QImage& shown,
                                     const QString& entry) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return fail(QStringLiteral("cannot read %1").arg(path));
    const QByteArray bytes = file.readAll();
    const QByteArray magic[] = {"BM", "\xFF\xD8", "DSAA"};
    if (!bytes.startsWith(magic[filter]))
        return fail(QStringLiteral("Save %1 wrote no file of filter %2").arg(slot).arg(filter));
    if (filter == SAVE_AS_BITMAP &&
        QImage::fromData(bytes, "BMP").convertToFormat(QImage::Format_RGB32) != shown)
        return fail(QStringLiteral("Save %1 wrote another picture than the one shown under '%2'")
                        .arg(slot)
                        .arg(entry));
    return {};
}
