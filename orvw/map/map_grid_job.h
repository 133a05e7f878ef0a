#pragma once
// One gridding of a map view on a thread of its own. The window never waits for it: the
// job reports progress and its result as events to the window, and Stop (or a newer view)
// only raises its flag, which the gridding reads between node columns.

#include <QObject>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "orvgrid/grid/lattice_grid.h"
#include "orvgrid/map/map_snapshot.h"

struct MapGridRequest {
    std::shared_ptr<const MapSnapshot> snapshot;  // kept alive by the job while it runs
    int position = 0;                             // WorkPoint position to grid
    GridLattice lattice;
    unsigned threads = 0;  // 0: all cores
};

struct MapGridResult {
    int job = 0;  // the id the job was started with
    GridOutcome outcome = GridOutcome::Failed;
    GridLattice lattice;
    std::vector<double> values;  // lattice.nodes() values when Done
    std::string message;         // why it failed
};

class MapGridJob {
public:
    using Progress = std::function<void(int job, int permille)>;
    using Finished = std::function<void(MapGridResult result)>;

    // Starts gridding at once. progress and finished are posted to `receiver`, which must
    // outlive the job (the map window owns its jobs); they run on its thread, finished
    // exactly once and last, and not at all when the receiver is deleted before them.
    MapGridJob(int id, MapGridRequest request, QObject* receiver, Progress progress,
               Finished finished);
    // Raises the stop flag and waits for the thread: one node column at most.
    ~MapGridJob();
    MapGridJob(const MapGridJob&) = delete;
    MapGridJob& operator=(const MapGridJob&) = delete;

    int id() const { return id_; }
    // Asks the gridding to end after its current node column; it then finishes Cancelled.
    void stop() { stop_.store(true); }

private:
    void run(MapGridRequest request, Progress progress, Finished finished);

    int id_;
    QObject* receiver_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};
