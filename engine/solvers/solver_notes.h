#pragma once

#include <string>
#include <vector>

// What a solver has to say while solving one point: trace-file text (Tikhonov L-curve
// of a traced point) and messages for the user (SVD non-convergence). The point loop
// hands them on in point order, so the same bytes reach the files whatever the number
// of threads.
struct SolverNotes {
    std::string trace;
    std::vector<std::string> messages;
    void clear() {
        trace.clear();
        messages.clear();
    }
};
