// orvane-window-bench: how soon the window shows its preview maps after a run's point
// loop, on a seeded synthetic survey, without a display (QT_QPA_PLATFORM=offscreen).
//
//   orvane-window-bench [--threads N] [--dir FOLDER] [--stations N]
//
// The window runs Calc as a user would (Linear4x4, Moore-Penrose, radius for about 30
// neighbours, previews on). The end of the point loop is its last progress report (every
// 100 stations); a preview is shown when its picture is painted. Three runs: one timed,
// one in which Stop is pressed while the maps are gridded (how soon the question comes),
// and a list change after it (the second list moved to HGGA).

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "bench/synthetic_survey.h"
#include "orvw/main_window.h"
#include "orvw/prompts.h"
#include "orvw/widgets/preview_picture.h"
#include "orvw/widgets/radio_group.h"

namespace {

constexpr double NEIGHBOURS = 30.0;

// Answers every question with `answer`, notes when the first one came and prints every
// message (none is expected).
class BenchPrompts : public Prompts {
   public:
    const QElapsedTimer* clock = nullptr;
    bool answer = true;
    std::optional<qint64> first_question_ms;

    void message(const QString& text, const QString&) override {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
    }
    bool askYesNo(const QString&, const QString&) override {
        if (!first_question_ms) first_question_ms = clock->elapsed();
        return answer;
    }
    std::optional<FileChoice> openFile(const FileDialogSpec&, const QString&, int) override {
        return std::nullopt;
    }
    std::optional<FileChoice> saveFile(const FileDialogSpec&, const QString&, int) override {
        return std::nullopt;
    }
};

// CPU seconds of the process so far, all threads.
double cpu_seconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

// A moment: wall milliseconds since the start, and the process's CPU seconds then.
struct Moment {
    qint64 ms = 0;
    double cpu = 0.0;
};

// Notes the moment of every paint of a widget.
class PaintTimes : public QObject {
   public:
    PaintTimes(QWidget* widget, const QElapsedTimer& clock) : clock_(clock) {
        widget->installEventFilter(this);
    }
    std::vector<Moment> times;
    // The first paint after `after` ms, or nullopt.
    std::optional<Moment> first_after(qint64 after) const {
        for (const Moment& t : times)
            if (t.ms > after) return t;
        return std::nullopt;
    }

   protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) times.push_back({clock_.elapsed(), cpu_seconds()});
        return false;
    }

   private:
    const QElapsedTimer& clock_;
};

struct Options {
    unsigned threads = 0;
    std::string folder = (std::filesystem::temp_directory_path() / "orvane-bench").string();
    std::size_t stations = 200000;
};

bool parse_options(int argc, char** argv, Options& o) {
    for (int a = 1; a < argc; ++a) {
        const std::string arg = argv[a];
        if (arg == "--threads" && a + 1 < argc)
            o.threads = static_cast<unsigned>(std::strtoul(argv[++a], nullptr, 10));
        else if (arg == "--dir" && a + 1 < argc)
            o.folder = argv[++a];
        else if (arg == "--stations" && a + 1 < argc)
            o.stations = std::strtoul(argv[++a], nullptr, 10);
        else {
            std::fprintf(
                stderr, "usage: orvane-window-bench [--threads N] [--dir FOLDER] [--stations N]\n");
            return false;
        }
    }
    return true;
}

double seconds(qint64 ms) { return static_cast<double>(ms) / 1000.0; }

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    Options o;
    if (!parse_options(argc, argv, o)) return 2;
    SurveyShape shape;
    shape.stations = o.stations;
    std::filesystem::create_directories(o.folder);
    const std::string survey = o.folder + "/survey_" + std::to_string(o.stations) + ".dat";
    if (!std::filesystem::exists(survey)) {
        std::fprintf(stderr, "writing %s ...\n", survey.c_str());
        if (!write_synthetic_survey(shape, survey)) return 1;
    }
    const double radius = radius_for_neighbours(shape, NEIGHBOURS);

    QTemporaryDir work;
    QElapsedTimer clock;
    clock.start();
    auto owned = std::make_unique<BenchPrompts>();
    BenchPrompts& prompts = *owned;
    prompts.clock = &clock;
    WindowOptions options;
    options.settings_path = work.filePath(QStringLiteral("orvane.cfg")).toStdString();
    options.prompts = std::move(owned);
    options.decimal_separator = '.';
    options.threads = o.threads;
    TfrmMain window(std::move(options));
    const auto find = [&window](const char* name) {
        return window.findChild<QWidget*>(QLatin1String(name));
    };
    static_cast<QLineEdit*>(find("txt_in"))->setText(QString::fromStdString(survey));
    static_cast<QLineEdit*>(find("txt_out"))->setText(work.filePath(QStringLiteral("result.dat")));
    static_cast<QLineEdit*>(find("txt_radius"))->setText(QString::number(radius, 'f', 3));
    static_cast<RadioGroup*>(find("rg_tendencies"))->button(1)->click();
    static_cast<RadioGroup*>(find("rg_method"))->button(1)->click();
    static_cast<QCheckBox*>(find("cb_preview"))->setChecked(true);
    window.show();
    QApplication::processEvents();

    auto* progress = static_cast<QProgressBar*>(find("ProgressBar1"));
    struct Progress {
        Moment at;
        int value;
    };
    std::vector<Progress> progress_times;
    QObject::connect(progress, &QProgressBar::valueChanged, [&](int value) {
        progress_times.push_back({{clock.elapsed(), cpu_seconds()}, value});
    });
    PaintTimes second(find("img_regta"), clock);
    PaintTimes third(find("img_delta"), clock);
    auto* calc = static_cast<QPushButton*>(find("btn_calc"));
    auto* stop = static_cast<QPushButton*>(find("btn_stop"));

    // The point loop's last progress report: the one before the run's end sets it full.
    const auto loop_end = [&]() -> std::optional<Moment> {
        if (progress_times.size() < 2) return std::nullopt;
        return progress_times[progress_times.size() - 2].at;
    };
    const auto settle = [] {
        for (int k = 0; k < 20; ++k) QApplication::processEvents();
    };

    std::printf("window, %zu stations, radius %.1f, threads %u (0: all)\n", o.stations, radius,
                o.threads);
    progress_times.clear();
    const qint64 started = clock.elapsed();
    calc->click();
    const qint64 returned = clock.elapsed();
    settle();
    const std::optional<Moment> end = loop_end();
    const std::optional<Moment> shown2 = end ? second.first_after(end->ms) : std::nullopt;
    const std::optional<Moment> shown3 = end ? third.first_after(end->ms) : std::nullopt;
    if (!end || !shown2 || !shown3) {
        std::printf("no loop end or no preview painted after it\n");
        return 1;
    }
    std::printf(
        "run: Calc to loop end %.2f s; loop end to preview 2 shown %.3f s, to "
        "preview 3 shown %.3f s (%.3f CPU s); Calc returned %.3f s after the loop end\n",
        seconds(end->ms - started), seconds(shown2->ms - end->ms), seconds(shown3->ms - end->ms),
        shown3->cpu - end->cpu, seconds(returned - end->ms));

    // Stop pressed 50 ms into the maps' gridding: the window answers with its question.
    progress_times.clear();
    // The loop's last reports come at 99.9 % and above; the timer runs whenever the
    // window processes its events.
    std::optional<qint64> stop_pressed;
    QTimer poll;
    poll.setInterval(1);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (stop_pressed || progress_times.empty()) return;
        const Progress& last = progress_times.back();
        if (last.value >= 9990 && clock.elapsed() - last.at.ms >= 50) {
            stop_pressed = clock.elapsed();
            stop->click();
        }
    });
    prompts.answer = false;  // No: go on
    prompts.first_question_ms.reset();
    poll.start();
    calc->click();
    poll.stop();
    settle();
    if (stop_pressed && prompts.first_question_ms)
        std::printf("stop: pressed %.3f s after the loop end, question %.3f s after the press\n",
                    seconds(*stop_pressed - loop_end()->ms),
                    seconds(*prompts.first_question_ms - *stop_pressed));
    else
        std::printf("stop: %s\n",
                    stop_pressed ? "pressed, no question" : "the maps were done first");

    // A list change: the second list moved to HGGA, gridded from the points in memory.
    auto* list = static_cast<QComboBox*>(find("cb2"));
    const Moment changed{clock.elapsed(), cpu_seconds()};
    list->setCurrentIndex(2);
    window.cb2Change();  // what the list's activation by the user calls
    settle();
    const std::optional<Moment> redrawn = second.first_after(changed.ms);
    if (redrawn)
        std::printf("list change: preview 2 shown %.3f s after the change (%.3f CPU s)\n",
                    seconds(redrawn->ms - changed.ms), redrawn->cpu - changed.cpu);
    return 0;
}
