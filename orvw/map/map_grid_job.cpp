#include "orvw/map/map_grid_job.h"

#include <algorithm>
#include <new>
#include <variant>

namespace {

// The gridding's side of the job. Nothing here touches a widget: it runs on the job's
// thread. The gridding asks for the stop flag once after every node column, which is what
// the progress counts.
class JobMonitor : public RunMonitor {
public:
    JobMonitor(const std::atomic<bool>& stop, std::size_t columns, std::function<void(int)> report)
        : stop_(stop), columns_(columns), report_(std::move(report)) {}

    void set_progress(int) override {}
    void process_events() override {}
    bool stop_requested() override {
        ++columns_done_;
        const int permille = columns_ == 0
                                 ? 1000
                                 : static_cast<int>(std::min<std::size_t>(columns_done_, columns_) *
                                                    1000 / columns_);
        if (permille / 10 != reported_ / 10) {
            reported_ = permille;
            report_(permille);
        }
        return stop_.load();
    }
    void clear_stop() override {}
    void show_message(const std::string& text) override { message = text; }
    // Only a stop asks anything, and the stop came from the map's own button or a newer
    // view: that already is the answer.
    bool ask_yes_no(const Question& question) override {
        return std::holds_alternative<CancelCalculation>(question);
    }

    std::string message;

private:
    const std::atomic<bool>& stop_;
    std::size_t columns_;
    std::size_t columns_done_ = 0;
    int reported_ = 0;
    std::function<void(int)> report_;
};

}  // namespace

MapGridJob::MapGridJob(int id, MapGridRequest request, QObject* receiver, Progress progress,
                       Finished finished)
    : id_(id), receiver_(receiver) {
    thread_ = std::thread(&MapGridJob::run, this, std::move(request), std::move(progress),
                          std::move(finished));
}

MapGridJob::~MapGridJob() {
    stop();
    if (thread_.joinable()) thread_.join();
}

void MapGridJob::run(MapGridRequest request, Progress progress, Finished finished) {
    QObject* receiver = receiver_;
    const int id = id_;
    JobMonitor monitor(stop_, request.lattice.nx, [&](int permille) {
        QMetaObject::invokeMethod(
            receiver, [progress, id, permille] { progress(id, permille); }, Qt::QueuedConnection);
    });
    MapGridResult result;
    result.job = id;
    result.lattice = request.lattice;
    const MapSnapshot& data = *request.snapshot;
    try {
        result.outcome = grid_lattice(data.points, data.index, request.position, data.search_radius,
                                      data.grid_radius, request.lattice, monitor, result.values,
                                      request.threads);
        result.message = monitor.message;
    } catch (const std::bad_alloc&) {
        result.outcome = GridOutcome::Failed;
        result.message = "Not enough memory for temporary buffer";
    }
    if (result.outcome != GridOutcome::Done) result.values.clear();
    QMetaObject::invokeMethod(
        receiver, [finished, r = std::move(result)]() mutable { finished(std::move(r)); },
        Qt::QueuedConnection);
}
