#include "engine/run/point_loop.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <iterator>
#include <limits>
#include <mutex>
#include <new>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "engine/memory/populated_resize.h"
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
#include "engine/run/shared_chunks.h"
#include "engine/run/split_work.h"
#include "engine/run/stop_check.h"

namespace {

// The solver's notes of the few points that have any, by position in their block.
using FitNotes = std::vector<std::pair<std::size_t, SolverNotes>>;

// The fits of a block of consecutive points. The points of a file may lie anywhere in the
// survey, and fits taken in file order would each wait for memory the previous one did
// not touch; the block's fits are therefore made in the order of their cell columns,
// where each finds most of what it reads in the cache (a quarter to a third less time on
// a survey in random order). What the sequential step needs of a fit is kept by file position, and
// kept small, as many blocks are in flight: how the fit ended and, in the last pass, the
// solution and the neighbour count; the quantities and the row are worked out when the
// step takes the point. A pass before the last writes no rows: its fits store the two
// values they keep (RGA and LGA) themselves, as only the point's own record holds them and
// no fit of the pass reads them.
struct FitBlock {
    enum class End : std::uint8_t { Solved, Failed, SearchFailed };
    std::size_t first = 0;                 // file position of the block's first point
    bool last_pass = false;
    std::vector<End> ends;                 // a point each
    std::vector<double> coefficients;      // the unknowns of each solved point (last pass)
    std::vector<double> neighbour_counts;  // of each solved point (last pass)
    FitNotes notes;
    std::size_t size() const { return ends.size(); }
};

// Points of a block. Each block's fits read the index and the table across the whole
// survey, so fewer, larger blocks read them fewer times: one thread over a million points
// in random file order took 1.78 CPU seconds with blocks of 32768, 1.67 with 65536 and 1.6
// with the whole file sorted by cell, and 2.4 to 3.5 in file order. A block of the last
// pass holds about 40 bytes a point in flight.
constexpr std::size_t FIT_BLOCK_POINTS = 65536;
// The shortest block at the end of a pass on worker threads.
constexpr std::size_t TAIL_BLOCK_POINTS = 4096;

// A pass before the last keeps a byte a point and writes no rows, so with worker threads
// it fits the whole survey in cell order, the workers taking chunks of this many points
// of it in turn: each chunk a narrow band of the survey, and no worker idle while another
// finishes a long block.
constexpr std::size_t SHARED_CHUNK_POINTS = 4096;

// With Moore-Penrose and a size the vector lanes take, as many systems as the widest
// lanes hold are solved side by side.
constexpr std::size_t SIDE_BY_SIDE_GROUP = 8;

// Fits between two turns of the window's events while one thread fits a block: under a
// tenth of a second even for the 10 x 10 L-curve. A multiple of SIDE_BY_SIDE_GROUP.
constexpr std::size_t EVENTS_EVERY = 4096;

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
          unknowns_(static_cast<std::size_t>(unknowns_of(settings.tendency))),
          side_by_side_(settings.solver == SolverKind::MoorePenrose &&
                        solvesSideBySide(unknowns_of(settings.tendency))) {}

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
        show_progress(0);
        monitor_.process_events();

        const std::size_t count = points_.count;
        // Each of these sweeps runs over the whole of both point arrays, a step through
        // memory for every point: on the run's threads, each its share.
        split_work(count, threads_, [this](std::size_t begin, std::size_t end) {
            for (std::size_t i = begin; i < end; ++i)
                points_.work[i].value[work::cba] = points_.survey[i].cba;
        });
        assign_populated(row_neighbours_, count, std::numeric_limits<double>::quiet_NaN(),
                         threads_);
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
    // One pass in file order: with one thread the fits of a block and the sequential
    // step alternate; with more, the fits run ahead on the workers and the sequential
    // step takes them in order. Both give the same bytes. False when the loop stops.
    bool run_pass(int pass) {
        const std::size_t count = points_.count;
        // Workers are started every pass; a small survey (with perhaps thousands of
        // passes) gets fewer of them, a tiny one none.
        const auto threads = static_cast<unsigned>(
            std::min<std::size_t>(threads_, std::max<std::size_t>(1, count / 64)));
        const bool last_pass = pass == settings_.iterations;
        if (!last_pass && threads > 1) return run_earlier_pass_together(pass, threads);
        // The earlier passes' arrays would stay beside the last pass's for nothing.
        if (last_pass && pass > 0) {
            fit_blocks_.clear();
            release_storage(survey_order_);
        }
        const std::size_t block = std::clamp<std::size_t>(count / (4u * threads), 256,
                                                          FIT_BLOCK_POINTS);
        if (threads <= 1) {
            const std::size_t blocks = (count + block - 1) / block;
            fit_blocks_.resize(1);
            for (std::size_t b = 0; b < blocks; ++b) {
                fit_block(b * block, std::min(block, count - b * block), last_pass,
                          fit_blocks_[0], true);
                if (apply_block(pass, fit_blocks_[0]) == Step::Stop) return false;
            }
            return true;
        }
        const std::vector<std::size_t> starts = block_starts(count, block, threads);
        auto fit = [&](std::size_t b, FitBlock& fits) {
            fit_block(starts[b], starts[b + 1] - starts[b], last_pass, fits, false);
        };
        OrderedBlocksOptions options;
        options.threads = threads;
        options.block_size = 1;  // one FitBlock an item
        // A block on each worker and the one being applied: more would hold memory only.
        options.in_flight = threads + 1;
        // Block b is fitted only once block b - in_flight is applied, so in_flight blocks
        // take turns; they keep their arrays from pass to pass (blocks freed and made
        // anew each pass left the C library's heap a few megabytes larger every time).
        fit_blocks_.resize(options.in_flight);
        const auto fits_of = [&](std::size_t b) -> FitBlock& {
            return fit_blocks_[b % options.in_flight];
        };
        // When the loop ends, the blocks being fitted will never be applied: the workers
        // leave them at once instead of finishing them first.
        const auto going_on = [this](Step step) {
            if (step == Step::Stop) abandoned_.store(true, std::memory_order_relaxed);
            return step == Step::Go;
        };
        abandoned_.store(false);
        return run_ordered_blocks<char>(
            starts.size() - 1, options, [&](std::size_t b, char&) { fit(b, fits_of(b)); },
            [&](std::size_t b, char&) { return going_on(apply_block(pass, fits_of(b))); },
            [&] { return going_on(answer_stop()); });
    }

    // Where the blocks of a pass on worker threads begin, and last the point count:
    // blocks of `block` points until the last ones, which shrink towards
    // TAIL_BLOCK_POINTS. The workers then end the pass together, and the sequential step,
    // which takes a block only after its fits, has a short one left when they are done
    // instead of one or two long ones on one core (25-40 ms of a million-point run).
    static std::vector<std::size_t> block_starts(std::size_t count, std::size_t block,
                                                 unsigned threads) {
        std::vector<std::size_t> starts{0};
        const std::size_t shortest = std::min(block, TAIL_BLOCK_POINTS);
        for (std::size_t at = 0; at < count;) {
            const std::size_t left = count - at;
            at += std::min(left, std::clamp<std::size_t>(left / (2u * threads), shortest, block));
            starts.push_back(at);
        }
        return starts;
    }

    // A pass before the last on worker threads: the fits of the whole survey in cell
    // order, shared out in chunks, while this thread answers the window; then the
    // sequential step over all points in file order (questions, messages, Stop).
    bool run_earlier_pass_together(int pass, unsigned threads) {
        const std::size_t count = points_.count;
        // The points' cells do not change from pass to pass, nor does their order.
        if (survey_order_.size() != count) {
            survey_order_.resize(count);
            cell_order(0, survey_order_);
        }
        fit_blocks_.resize(1);
        FitBlock& fits = fit_blocks_[0];
        start_block(0, count, false, fits);
        std::mutex notes_mutex;
        abandoned_.store(false);
        SharedChunksOptions options;
        options.threads = threads;
        options.chunk = SHARED_CHUNK_POINTS;
        const bool fitted = run_shared_chunks(
            count, options,
            [&](std::size_t begin, std::size_t end) {
                FitNotes notes;
                fit_in_order(std::span(survey_order_).subspan(begin, end - begin), fits, notes,
                             false);
                if (notes.empty()) return;
                std::lock_guard lock(notes_mutex);
                std::move(notes.begin(), notes.end(), std::back_inserter(fits.notes));
            },
            [&](std::size_t done) {
                show_progress(progress_at(pass, done));
                if (answer_stop() == Step::Go) return true;
                abandoned_.store(true, std::memory_order_relaxed);
                return false;
            });
        if (!fitted) return false;
        sort_notes(fits);
        return apply_block(pass, fits) == Step::Go;
    }

    // The fits of the points first .. first + size - 1, in cell order. On the calling
    // thread (`events`), the window gets its events every EVENTS_EVERY fits meanwhile; a
    // Stop is answered at the block's first point.
    void fit_block(std::size_t first, std::size_t size, bool last_pass, FitBlock& fits,
                   bool events) {
        start_block(first, size, last_pass, fits);
        thread_local std::vector<std::uint32_t> order;
        order.resize(size);
        cell_order(first, order);
        fit_in_order(order, fits, fits.notes, events);
        sort_notes(fits);
    }

    void start_block(std::size_t first, std::size_t size, bool last_pass, FitBlock& fits) {
        fits.first = first;
        fits.last_pass = last_pass;
        fits.ends.assign(size, FitBlock::End::Failed);
        fits.coefficients.resize(last_pass ? size * unknowns_ : 0);
        fits.neighbour_counts.resize(last_pass ? size : 0);
        fits.notes.clear();
    }

    static void sort_notes(FitBlock& fits) {
        std::sort(fits.notes.begin(), fits.notes.end(),
                  [](const auto& a, const auto& b) { return a.first < b.first; });
    }

    // The fits of the block's points at the positions `order` names, in that order; the
    // solver's notes go to `notes`.
    void fit_in_order(std::span<const std::uint32_t> order, FitBlock& fits, FitNotes& notes,
                      bool events) {
        const std::size_t first = fits.first;
        const std::size_t size = order.size();
        const std::size_t group = side_by_side_ ? SIDE_BY_SIDE_GROUP : 1;
        std::array<LocalSystem, SIDE_BY_SIDE_GROUP> systems;
        std::array<SolverNotes, SIDE_BY_SIDE_GROUP> solver_notes;
        std::array<MoorePenroseLaneSystem, SIDE_BY_SIDE_GROUP> lanes;
        std::array<SolverNotes*, SIDE_BY_SIDE_GROUP> lane_notes;
        for (std::size_t g = 0; g < size; g += group) {
            if (events && g > 0 && g % EVENTS_EVERY == 0) monitor_.process_events();
            if (abandoned_.load(std::memory_order_relaxed)) return;
            const std::size_t members = std::min(group, size - g);
            prefetch_own_values(first, order, g + group, group);
            std::size_t solving = 0;
            for (std::size_t m = 0; m < members; ++m) {
                const std::size_t p = order[g + m];
                solver_notes[m].clear();
                if (!build_system(first + p, systems[m])) {
                    fits.ends[p] = FitBlock::End::SearchFailed;
                    continue;
                }
                if (!side_by_side_) {
                    const SurveyPoint& sp = points_.survey[first + p];
                    solveLocalSystem(context_, systems[m], sp.point_number, sp.trace_flag > 0.5,
                                     solver_notes[m]);
                    continue;
                }
                lanes[solving] = {&systems[m].matrix, &systems[m].rhs, false, false};
                lane_notes[solving++] = &solver_notes[m];
            }
            if (solving > 0)
                solveMoorePenroseSideBySide(std::span(lanes.data(), solving),
                                            static_cast<int>(unknowns_), settings_.sv_threshold,
                                            std::span(lane_notes.data(), solving));
            for (std::size_t m = 0; m < members; ++m) {
                const std::size_t p = order[g + m];
                if (fits.ends[p] != FitBlock::End::SearchFailed)
                    keep_fit(p, systems[m], solver_notes[m], fits, notes);
            }
        }
    }

    // Positions 0 .. order.size() - 1 of the block that starts at `first`, into `order`,
    // ordered by the cell column of their point (a counting sort; file order within a
    // column). Consecutive fits then read the index and the table within a band of
    // columns that stays in the cache; ordering the rows within a column as well gained
    // nothing more. The columns are worked out twice rather than kept: for a whole survey
    // they would take as much memory as the order itself.
    void cell_order(std::size_t first, std::span<std::uint32_t> order) const {
        const std::size_t size = order.size();
        thread_local std::vector<std::uint32_t> starts;
        starts.assign(std::max<std::size_t>(index_.nx(), 1) + 1, 0);
        const auto column_of = [&](std::size_t p) {
            return index_.column_of(points_.work[first + p].value[work::x]);
        };
        for (std::size_t p = 0; p < size; ++p) ++starts[column_of(p) + 1];
        for (std::size_t c = 1; c < starts.size(); ++c) starts[c] += starts[c - 1];
        for (std::size_t p = 0; p < size; ++p)
            order[starts[column_of(p)]++] = static_cast<std::uint32_t>(p);
    }

    // Starts loading the own values of the points at order positions from .. from + count
    // - 1. In cell order the points of a block jump about its stretch of the point
    // records, several megabytes, and each fit began by waiting for its own record: a
    // tenth of the run.
    void prefetch_own_values(std::size_t first, std::span<const std::uint32_t> order,
                             std::size_t from, std::size_t count) const {
        const std::size_t end = std::min(order.size(), from + count);
        for (std::size_t k = from; k < end; ++k) {
            const double* v = points_.work[first + order[k]].value;
            __builtin_prefetch(v + work::x);
            __builtin_prefetch(v + work::cba);  // the record may straddle two lines
        }
    }

    // The pure step: it reads only positions 0 to 3 of the points (and the point's own
    // values), so the fits of one pass do not depend on each other or on the order in
    // which they run. False when the N-nearest search fails.
    bool build_system(std::size_t i, LocalSystem& system) const {
        const double* v = points_.work[i].value;
        AreaMeans means;
        return buildLocalSystem(context_, v[work::x], v[work::y], v[work::height], v[work::cba],
                                system, means) == 0;
    }

    void keep_fit(std::size_t p, const LocalSystem& system, SolverNotes& solver_notes,
                  FitBlock& fits, FitNotes& notes) {
        if (!solver_notes.trace.empty() || !solver_notes.messages.empty())
            notes.emplace_back(p, std::move(solver_notes));
        if (system.rhs[0] == SOLVER_FAILED) return;  // ends[p] stays Failed
        fits.ends[p] = FitBlock::End::Solved;
        if (!fits.last_pass) {
            WorkPoint& point = points_.work[fits.first + p];
            const PointQuantities q =
                deriveRegional(settings_.tendency, system.rhs, point.value[work::cba]);
            storeQuantities(settings_.tendency, false, system.rhs, q, point);
            return;
        }
        std::copy_n(system.rhs, unknowns_, fits.coefficients.begin() + p * unknowns_);
        fits.neighbour_counts[p] = system.neighbour_count;
    }

    Step apply_block(int pass, const FitBlock& fits) {
        std::size_t next_notes = 0;
        for (std::size_t p = 0; p < fits.size(); ++p) {
            const SolverNotes* notes = nullptr;
            if (next_notes < fits.notes.size() && fits.notes[next_notes].first == p)
                notes = &fits.notes[next_notes++].second;
            if (apply_point(pass, fits, p, notes) == Step::Stop) return Step::Stop;
        }
        return Step::Go;
    }

    // The sequential step, in point order: messages, the failed-point question, the
    // stored quantities and the row, progress, events and the stop question.
    Step apply_point(int pass, const FitBlock& fits, std::size_t p, const SolverNotes* notes) {
        if (fits.ends[p] == FitBlock::End::SearchFailed) return Step::Stop;
        if (notes) {
            for (const std::string& message : notes->messages) monitor_.show_message(message);
            if (trace_.is_open() && !trace_.write(notes->trace)) {
                write_failed(trace_);
                return Step::Stop;
            }
        }
        const std::size_t i = fits.first + p;
        const SurveyPoint& sp = points_.survey[i];
        if (fits.ends[p] == FitBlock::End::Failed) {
            if (!monitor_.ask_yes_no(SystemFailed{sp.point_number, settings_.decimal_separator}))
                return Step::Stop;
            if (fits.last_pass) ++state_.rows_failed;
        } else if (fits.last_pass) {
            SystemVector c = {};
            std::copy_n(fits.coefficients.begin() + p * unknowns_, unknowns_, c);
            WorkPoint& point = points_.work[i];
            const PointQuantities q =
                deriveQuantities(settings_.tendency, c, point.value[work::cba]);
            storeQuantities(settings_.tendency, true, c, q, point);
            row_.clear();
            append_result_row(row_, settings_, sp, point, points_.extent, c,
                              fits.neighbour_counts[p], q);
            if (!result_.write(row_)) {
                write_failed(result_);
                return Step::Stop;
            }
            row_neighbours_[i] = fits.neighbour_counts[p];
            ++state_.rows_written;
        }
        if (i % 100 == 0) show_progress(progress_at(pass, i));
        return answer_stop();
    }

    // Progress only moves on: a pass fitted together reports its fits as they finish,
    // and then its sequential step walks the same points again.
    void show_progress(int value) {
        if (value < progress_shown_) return;
        progress_shown_ = value;
        monitor_.set_progress(value);
    }

    // Processes events and answers a Stop: between two points, or while the next point's
    // fit is still being computed.
    Step answer_stop() { return cancel_confirmed(monitor_) ? Step::Stop : Step::Go; }

    // The fits read the copy when there is memory for it, the point records otherwise;
    // both give the same numbers.
    void build_table() {
        try {
            table_.build(index_, points_, threads_);
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
        split_work(points_.count, threads_, [this, lga](std::size_t begin, std::size_t end) {
            for (std::size_t i = begin; i < end; ++i) {
                WorkPoint& wp = points_.work[i];
                wp.value[work::cba] = points_.survey[i].cba - settings_.alpha * wp.value[lga];
            }
        });
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
    HugePageVector<double>& row_neighbours_;
    RunMonitor& monitor_;
    const ClusterIndex& index_;
    NeighbourTable table_;  // the fits' copy of positions 0 to 3, made again every pass
    FitContext context_;
    unsigned threads_;
    std::size_t unknowns_;  // of the trend model
    bool side_by_side_;     // Moore-Penrose systems solved in vector lanes, a group at a time
    std::vector<FitBlock> fit_blocks_;  // the blocks in flight, kept for their capacity
    HugePageVector<std::uint32_t> survey_order_;  // all points in cell order, earlier passes
    int progress_shown_ = 0;
    std::atomic<bool> abandoned_{false};  // the pass has ended early: fits in flight stop
    TextOutput result_;
    std::string row_;  // the row being written, kept for its capacity
    TextOutput trace_;
};

}  // namespace

int run_point_loop(const RunSettings& settings, RunState& state, RunMonitor& monitor) {
    PointLoop loop(settings, state, monitor);
    return loop.run();
}
