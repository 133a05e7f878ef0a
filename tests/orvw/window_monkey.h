#pragma once
// A monkey for the main window: seeded random clicks, keys, field edits, list changes,
// Calc, Stop, Load, Save, map windows and closes on a small survey, some of them while a
// run or a gridding is under way. At every quiet point it checks that the window is idle
// again and that each preview's list, picture and save name agree, the picture compared
// with a fresh gridding of the data in memory.

#include <QImage>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <tuple>
#include <vector>

#include "orvw/main_window.h"
#include "tests/orvw/monkey_trail.h"
#include "tests/support/random_surveys.h"

class QComboBox;
class QLineEdit;
class PreviewPicture;
class MonkeyPrompts;
struct MapSnapshot;

// The radii the monkey types.
inline const QStringList VALID_RADII = {QStringLiteral("300"), QStringLiteral("360"),
                                        QStringLiteral("450")};
inline const QStringList VALID_GRID_RADII = {QStringLiteral("0"), QStringLiteral("300")};

struct MonkeyConfig {
    std::uint64_t seed = 20261209;
    double seconds = 30.0;
    int step_timeout_seconds = 60;

    // The defaults, overridden by ORVANE_MONKEY_SEED, ORVANE_MONKEY_SECONDS and
    // ORVANE_MONKEY_STEP_TIMEOUT.
    static MonkeyConfig fromEnvironment();
};

// What the monkey got the window to do, for the log of a run.
struct MonkeyTally {
    long steps = 0;
    long meddles = 0;  // actions while a run, a load or a gridding was under way
    long calcs = 0;
    long runs_with_results = 0;
    long questions = 0;
    long loads = 0;
    long saves_written = 0;
    long maps_opened = 0;
    long windows_closed = 0;
    long checks = 0;
    long pictures_compared = 0;
};

class WindowMonkey {
   public:
    // Works in `folder` (survey, subset and result files are made there).
    WindowMonkey(const MonkeyConfig& config, const QString& folder);
    ~WindowMonkey();
    WindowMonkey(const WindowMonkey&) = delete;
    WindowMonkey& operator=(const WindowMonkey&) = delete;

    // Random steps until the time is up or a check fails; the failure names the seed, the
    // step and the last actions. Empty when every check held.
    QString run();

    const MonkeyTally& tally() const { return tally_; }

   private:
    struct Action {
        int weight;
        const char* name;
        std::function<void()> act;
    };

    // Set-up.
    void makeFiles();
    struct CalcPress;
    const std::array<QImage, 2>* asReadPictures(const CalcPress& press);
    void createWindow();
    void activateWindow();
    void startAgainIfClosed();

    // Steps.
    void step();
    void meddle();
    void perform(const std::vector<Action>& actions, bool during_work);
    std::vector<Action> idleActions();
    std::vector<Action> workActions();

    // The user's hands.
    void click(QWidget* widget);
    void editField(const char* name, const QStringList& valid, const QStringList& invalid);
    void changeList(QComboBox* combo);
    void pressKey();
    void clickRadio(const char* group);
    void chooseInput();
    void load();
    void save();
    void openMap();
    void useMap();
    void closeMap();
    void closeWindow();
    void restoreSaneSettings();
    void wait();

    // Checks at quiet points.
    QString checkQuiet();
    QString checkButtonsIdle() const;
    QString checkButtonsBusy() const;
    QString checkPictures(const MapSnapshot* data);
    QString checkSaveOffers();
    QString checkSavedFile(int slot, const QString& path, int filter, const QImage& shown,
                           const QString& entry);
    std::optional<QImage> freshPicture(const MapSnapshot& data, int slot, int list_index,
                                       bool cba_as_read);
    const MapSnapshot* dataInMemory();
    QString fail(const QString& what) const;

    // Controls by their names on the form.
    template <typename W>
    W* find(const char* name) const {
        return window_->findChild<W*>(QLatin1String(name));
    }
    QComboBox* previewList(int slot) const;
    PreviewPicture* picture(int slot) const;
    QLineEdit* field(const char* name) const;

    bool chance(double p) { return random_.uniform(0.0, 1.0) < p; }
    int below(int n) { return static_cast<int>(random_.next() % static_cast<std::uint64_t>(n)); }
    template <typename T>
    const T& pick(const std::vector<T>& items) {
        return items[static_cast<std::size_t>(below(static_cast<int>(items.size())))];
    }
    QString pick(const QStringList& items) {
        return items.at(below(static_cast<int>(items.size())));
    }

    MonkeyConfig config_;
    QString folder_;
    SurveyRandom random_;
    MonkeyTrail trail_;
    MonkeyTally tally_;
    std::unique_ptr<TfrmMain> window_;
    MonkeyPrompts* prompts_ = nullptr;
    QString failure_;  // the first failed check, also one seen while meddling
    bool meddling_ = false;
    int saves_ = 0;

    // The settings a run reads its points by, as they stood at each click of Calc since
    // the window was started.
    struct CalcPress {
        QString input;
        std::array<int, 5> columns{};  // x, y, point, height, CBA
        QString radius;
        QString grid_radius;
        bool operator<(const CalcPress& other) const {
            return std::tie(input, columns, radius, grid_radius) <
                   std::tie(other.input, other.columns, other.radius, other.grid_radius);
        }
    };
    std::set<CalcPress> calc_presses_;
    // Preview 1 (HEIGHT, CBA) of the points as read, by the settings read with.
    std::map<CalcPress, std::array<QImage, 2>> as_read_;
    // Fresh griddings of the data in memory, by a hash of the data, slot, list index and
    // whether the CBA is taken as read.
    std::map<std::tuple<std::uint64_t, int, int, bool>, QImage> fresh_;
    // The data in memory as the map windows see it, taken through a map window.
    std::shared_ptr<MapSnapshot> data_;
    bool data_stale_ = true;
};
