#pragma once
#include "engine/engine.h"
#include "engine/search/cluster_index.h"
#include "engine/search/neighbour_table.h"
#include "engine/solvers/solver_notes.h"

// The means over the whole point set that the "centre to mean" modes subtract.
struct AreaMeans {
    double mean_x = 0.0, mean_y = 0.0, mean_z = 0.0, mean_cba = 0.0;
};

// What a fit reads besides the point of calculation. Fits read only positions 0 to 3
// of the points, so the fits of one pass are independent of each other.
struct FitContext {
    const RunSettings& settings;
    const PointData& points;
    const ClusterIndex& index;
    // The candidates' values in index order (the point loop keeps one a pass); without
    // it the fit reads the point records, with the same result.
    const NeighbourTable* table = nullptr;
};

// Builds and solves the local system of one point. 0, or 1 when the N-nearest search
// fails. A failed solve shows only as SOLVER_FAILED in system.rhs[0].
int fitLocalTrend(const FitContext& context, double x0, double y0, double h0, double u0,
                  double point_number, bool traced, LocalSystem& system, AreaMeans& means,
                  SolverNotes& notes);

// fitLocalTrend in two halves: the system as the solver receives it (0, or 1 when the
// N-nearest search fails), and its solve by the run's solver.
int buildLocalSystem(const FitContext& context, double x0, double y0, double h0, double u0,
                     LocalSystem& system, AreaMeans& means);
void solveLocalSystem(const FitContext& context, LocalSystem& system, double point_number,
                      bool traced, SolverNotes& notes);
