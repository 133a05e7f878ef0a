#include "engine/run/point_loop.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>
#include <new>
#include <span>
#include <string>
#include <string_view>
#include <thread>

#include "engine/run/ordered_blocks.h"
#include "engine/fit/quantities.h"
#include "engine/fit/trend_model.h"
#include "engine/points/result_format.h"
#include "engine/points/text_output.h"
#include "engine/fit/trend_fit.h"
#include "engine/search/cluster_index.h"
#include "engine/solvers/solver_notes.h"
#include "engine/solvers/svd_side_by_side.h"
#include "engine/run/run_state.h"
#include "engine/run/stop_check.h"

namespace {

// What the fit of one point leaves for the sequential step: everything that can be
// worked out without touching what the sequential step changes.
struct PointOutcome {
    int fit_result = 0;   // 1: the N-nearest search failed, the run ends
    bool solved = false;  // false: SOLVER_FAILED
    double neighbour_count = 0.0;
    SystemVector coefficients = {};
    PointQuantities quantities;
    std::string row;  // the result row, on the final pass
    SolverNotes notes;
};

// The consecutive points whose fits one step computes: one, or with Moore-Penrose and a
// size the vector lanes take, as many as the widest lanes hold, so that their systems are
// solved side by side.
struct OutcomeGroup {
    std::vector<PointOutcome> points;
};
constexpr std::size_t SIDE_BY_SIDE_GROUP = 8;

enum class Step { Go, Stop };

class PointLoop {
public:
    PointLoop(const RunSettings& settings, RunState& state, RunMonitor& monitor)
        : settings_(settings), state_(state), points_(state.points),
          row_neighbours_(state.row_neighbours), monitor_(monitor),
          index_(state.index),
          context_{settings, state.points, state.index, &table_},
          threads_(settings.threads == 0 ? std::max(1u, std::thread::hardware_concurrency())
                                         : settings.threads),
          side_by_side_(settings.solver == SolverKind::MoorePenrose &&
                        solvesSideBySide(unknowns_of(settings.tendency))),
          group_(side_by_side_ ? SIDE_BY_SIDE_GROUP : 1) {}

    int run() {
        if (!result_.open(settings_.output_file)) {
            monitor_.show_message("Error by opening output file");
            return 1;
        }
        const std::string header = result_header(settings_);
        const std::string_view lines(header);
        const std::size_t first_line = lines.find('\n') + 1;
        if (!result_.hold_first_line(lines.substr(0, first_line), UNFINISHED_RESULT_LINE) ||
            !result_.write(lines.substr(first_line)))
            return write_failed(result_);
        if (!settings_.subset_file.empty() && !trace_.open(settings_.trace_file)) {
            result_.close();
            monitor_.show_message("Error by opening output trace file");
            return 1;
        }
        monitor_.set_progress(0);
        monitor_.process_events();

        const std::size_t count = points_.count;
        for (std::size_t i = 0; i < count; ++i)
            points_.work[i].value[work::cba] = points_.survey[i].cba;
        row_neighbours_.assign(count, std::numeric_limits<double>::quiet_NaN());
        for (int pass = 0; pass <= settings_.iterations; ++pass) {
            if (pass > 0) correct_working_cba();
            build_table();
            if (!run_pass(pass)) return stop();
        }
        if (!result_.close()) return write_failed(result_);
        if (!trace_.close()) return write_failed(trace_);
        return 0;
    }

private:
    // One pass in file order: with one thread the fit and the sequential step alternate;
    // with more, the fits run ahead on the workers and the sequential step takes them
    // in order. Both give the same bytes. False when the loop stops.
    bool run_pass(int pass) {
        const std::size_t count = points_.count;
        // Workers are started every pass; a small survey (with perhaps thousands of
        // passes) gets fewer of them, a tiny one none.
        const auto threads = static_cast<unsigned>(
            std::min<std::size_t>(threads_, std::max<std::size_t>(1, count / 64)));
        const std::size_t groups = (count + group_ - 1) / group_;
        if (threads <= 1) {
            OutcomeGroup group;
            for (std::size_t g = 0; g < groups; ++g) {
                fit_group(pass, g * group_, group);
                if (apply_group(pass, g * group_, group) == Step::Stop) return false;
            }
            return true;
        }
        OrderedBlocksOptions options;
        options.threads = threads;
        // As many points in flight as blocks of single points would hold.
        options.block_size = std::max<std::size_t>(
            1, std::clamp<std::size_t>(count / (16u * threads), 16, 1024) / group_);
        return run_ordered_blocks<OutcomeGroup>(
            groups, options,
            [&](std::size_t g, OutcomeGroup& group) { fit_group(pass, g * group_, group); },
            [&](std::size_t g, OutcomeGroup& group) {
                return apply_group(pass, g * group_, group) == Step::Go;
            },
            [&] { return answer_stop() == Step::Go; });
    }

    // The fits of the points first, first + 1, ... of one group (fewer at the end).
    void fit_group(int pass, std::size_t first, OutcomeGroup& group) const {
        const std::size_t size = std::min(group_, points_.count - first);
        group.points.resize(size);
        if (!side_by_side_) {  // a group of one
            PointOutcome& outcome = group.points[0];
            LocalSystem system;
            build_system(first, outcome, system);
            if (outcome.fit_result != 0) return;
            const SurveyPoint& sp = points_.survey[first];
            solveLocalSystem(context_, system, sp.point_number, sp.trace_flag > 0.5, outcome.notes);
            finish_point(pass, first, system, outcome);
            return;
        }
        std::array<LocalSystem, SIDE_BY_SIDE_GROUP> systems;
        std::array<MoorePenroseLaneSystem, SIDE_BY_SIDE_GROUP> lanes;
        std::array<SolverNotes*, SIDE_BY_SIDE_GROUP> notes;
        std::size_t solving = 0;
        for (std::size_t p = 0; p < size; ++p) {
            build_system(first + p, group.points[p], systems[p]);
            if (group.points[p].fit_result != 0) continue;
            lanes[solving] = {&systems[p].matrix, &systems[p].rhs, false, false};
            notes[solving++] = &group.points[p].notes;
        }
        solveMoorePenroseSideBySide(std::span(lanes.data(), solving),
                                    unknowns_of(settings_.tendency), settings_.sv_threshold,
                                    std::span(notes.data(), solving));
        for (std::size_t p = 0; p < size; ++p)
            if (group.points[p].fit_result == 0)
                finish_point(pass, first + p, systems[p], group.points[p]);
    }

    Step apply_group(int pass, std::size_t first, const OutcomeGroup& group) {
        for (std::size_t p = 0; p < group.points.size(); ++p)
            if (apply_point(pass, first + p, group.points[p]) == Step::Stop) return Step::Stop;
        return Step::Go;
    }

    // The pure steps: they read only positions 0 to 3 of the points (and the point's own
    // values), so the fits of one pass do not depend on each other or on the order in
    // which they run.
    void build_system(std::size_t i, PointOutcome& outcome, LocalSystem& system) const {
        const double* v = points_.work[i].value;
        AreaMeans means;
        outcome.notes.clear();
        outcome.row.clear();
        outcome.fit_result = buildLocalSystem(context_, v[work::x], v[work::y], v[work::height],
                                              v[work::cba], system, means);
    }

    // What is left of a point's fit after its solve.
    void finish_point(int pass, std::size_t i, const LocalSystem& system,
                      PointOutcome& outcome) const {
        const SurveyPoint& sp = points_.survey[i];
        const double* v = points_.work[i].value;
        const double* c = system.rhs;
        outcome.solved = c[0] != SOLVER_FAILED;
        if (!outcome.solved) return;
        outcome.neighbour_count = system.neighbour_count;
        for (int k = 0; k < 10; ++k) outcome.coefficients[k] = c[k];
        outcome.quantities = deriveQuantities(settings_.tendency, c, v[work::cba]);
        if (pass == settings_.iterations)
            outcome.row = result_row(settings_, sp, points_.extent, system, outcome.quantities);
    }

    // The sequential step, in point order: messages, the failed-point question, the
    // stored quantities and the row, progress, events and the stop question.
    Step apply_point(int pass, std::size_t i, const PointOutcome& outcome) {
        if (outcome.fit_result != 0) return Step::Stop;
        for (const std::string& message : outcome.notes.messages) monitor_.show_message(message);
        if (trace_.is_open() && !trace_.write(outcome.notes.trace)) {
            write_failed(trace_);
            return Step::Stop;
        }
        const SurveyPoint& sp = points_.survey[i];
        if (!outcome.solved) {
            if (!monitor_.ask_yes_no(SystemFailed{sp.point_number, settings_.decimal_separator}))
                return Step::Stop;
            if (pass == settings_.iterations) ++state_.rows_failed;
        } else {
            const bool last_pass = pass == settings_.iterations;
            storeQuantities(settings_.tendency, last_pass, outcome.coefficients,
                            outcome.quantities, points_.work[i]);
            if (last_pass && !result_.write(outcome.row)) {
                write_failed(result_);
                return Step::Stop;
            }
            if (last_pass) {
                row_neighbours_[i] = outcome.neighbour_count;
                ++state_.rows_written;
            }
        }
        if (i % 100 == 0) monitor_.set_progress(progress_at(pass, i));
        return answer_stop();
    }

    // Processes events and answers a Stop: between two points, or while the next point's
    // fit is still being computed.
    Step answer_stop() { return cancel_confirmed(monitor_) ? Step::Stop : Step::Go; }

    // The fits read the copy when there is memory for it, the point records otherwise;
    // both give the same numbers.
    void build_table() {
        try {
            table_.build(index_, points_);
            context_.table = &table_;
        } catch (const std::bad_alloc&) {
            table_ = NeighbourTable{};
            context_.table = nullptr;
        }
    }

    // Wide arithmetic: pass * count reaches 1e10 for a million points and 10000 passes.
    int progress_at(int pass, std::size_t i) const {
        const std::uint64_t count = points_.count;
        const std::uint64_t done = static_cast<std::uint64_t>(pass) * count + i;
        const std::uint64_t all = static_cast<std::uint64_t>(settings_.iterations + 1) * count;
        return static_cast<int>(done * 10000u / all);
    }

    void correct_working_cba() {
        // The two 3x3 models keep no LGA, so their working CBA stays the CBA in every pass.
        const int lga = trend_model(settings_.tendency).earlier_lga;
        if (lga < 0) return;
        for (std::size_t i = 0; i < points_.count; ++i) {
            WorkPoint& wp = points_.work[i];
            wp.value[work::cba] = points_.survey[i].cba - settings_.alpha * wp.value[lga];
        }
    }

    int write_failed(TextOutput& file) {
        const bool trace = &file == &trace_;
        result_.close();
        trace_.close();
        monitor_.show_message(trace ? "Error by writing output trace file"
                                    : "Error by writing output file");
        return 1;
    }

    // Ends the run early; the rows written so far are kept, but a file that cannot be
    // completed is still reported.
    int stop() {
        if (result_.is_open() && !result_.close()) return write_failed(result_);
        if (trace_.is_open() && !trace_.close()) return write_failed(trace_);
        return 1;
    }

    const RunSettings& settings_;
    RunState& state_;
    PointData& points_;
    std::vector<double>& row_neighbours_;
    RunMonitor& monitor_;
    const ClusterIndex& index_;
    NeighbourTable table_;  // the fits' copy of positions 0 to 3, made again every pass
    FitContext context_;
    unsigned threads_;
    bool side_by_side_;  // Moore-Penrose systems solved in vector lanes, a group at a time
    std::size_t group_;  // points a fit step takes
    TextOutput result_;
    TextOutput trace_;
};

}  // namespace

int run_point_loop(const RunSettings& settings, RunState& state, RunMonitor& monitor) {
    PointLoop loop(settings, state, monitor);
    return loop.run();
}
