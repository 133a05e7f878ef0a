#pragma once
// The vector forms of add_node_visits, one per instruction set, each in a file compiled
// for its set.

#include "orvgrid/grid/node_visits.h"

void add_node_visits_sse2(const NodeColumnShape& shape, const NodeVisit* visits, std::size_t count,
                          const NodeSums& sums);
void add_node_visits_avx2(const NodeColumnShape& shape, const NodeVisit* visits, std::size_t count,
                          const NodeSums& sums);
void add_node_visits_avx512(const NodeColumnShape& shape, const NodeVisit* visits,
                            std::size_t count, const NodeSums& sums);
