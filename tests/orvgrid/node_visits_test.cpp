#include "orvgrid/grid/node_visits.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "tests/support/random_surveys.h"

namespace {

struct Column {
    std::vector<double> node_y;
    std::vector<NodeVisit> visits;
};

// 61 nodes 0.5 apart and visits with runs of every length from 0 to 24 starting at every
// offset from a vector boundary, distances across from 0 to beyond the radius.
Column random_column(std::uint64_t seed) {
    SurveyRandom r(seed);
    Column c;
    for (std::size_t j = 0; j < 61 + NODE_LANE_PADDING; ++j) c.node_y.push_back(3.0 + 0.5 * j);
    for (std::uint32_t first = 0; first < 16; ++first) {
        for (std::uint32_t length = 0; length <= 24 && first + length <= 61; ++length) {
            NodeVisit v;
            v.dx = r.uniform(-6.0, 6.0);
            v.py = r.uniform(0.0, 36.0);
            v.value[0] = r.uniform(-100.0, 100.0);
            v.value[1] = r.normal() * 1e6;
            v.value[2] = (r.next() & 1) ? 0.0 : -r.uniform(0.0, 1e-3);
            v.first = first + 8 * static_cast<std::uint32_t>(r.next() % 4);
            v.end = std::min<std::uint32_t>(v.first + length, 61);
            c.visits.push_back(v);
        }
    }
    // A visit on a node: d = 0.001 sqrt 2.
    c.visits.push_back({0.001, 3.0 + 0.5 * 10, {1.0, 2.0, 3.0}, 10, 11});
    return c;
}

std::vector<double> sums_with(InstructionSet set, const Column& c, int variables) {
    const std::size_t stride = 61 + NODE_LANE_PADDING;
    std::vector<double> sums(4 * stride, 0.0);
    const NodeSums node_sums{
        sums.data(), {sums.data() + stride, sums.data() + 2 * stride, sums.data() + 3 * stride}};
    const NodeColumnShape shape{c.node_y.data(), 5.0, variables};
    add_node_visits(set, shape, c.visits.data(), c.visits.size(), node_sums);
    return sums;
}

}  // namespace

// Each vector form adds to every node exactly the terms of the plain form, in the same
// order: the sums agree in every bit, padding included (it stays zero), for one, two and
// three variables at once.
TEST(node_visits, vector_forms_add_the_plain_forms_terms) {
    const Column c = random_column(5);
    for (int variables = 1; variables <= 3; ++variables) {
        const std::vector<double> plain = sums_with(InstructionSet::Scalar, c, variables);
        int taken = 0;
        for (std::size_t j = 0; j < 61; ++j) taken += plain[j] > 0.0;
        EXPECT_GT(taken, 50);
        for (std::size_t j = 61; j < plain.size() / 4; ++j) EXPECT_EQ(plain[j], 0.0);
        for (InstructionSet set : runnable_instruction_sets()) {
            const std::vector<double> sums = sums_with(set, c, variables);
            EXPECT_EQ(std::memcmp(sums.data(), plain.data(), plain.size() * sizeof(double)), 0)
                << instruction_set_name(set) << " with " << variables << " variables";
        }
    }
}

// The node under a point on it takes the weight 1 / (0.001 sqrt 2); a node beyond the
// radius takes nothing.
TEST(node_visits, weights_are_one_over_the_exact_distance) {
    std::vector<double> node_y(2 + NODE_LANE_PADDING, 0.0);
    node_y[1] = 10.0;
    const NodeVisit visit{0.001, 0.0, {6.0, 0.0, 0.0}, 0, 2};
    for (InstructionSet set : runnable_instruction_sets()) {
        std::vector<double> sums(2 * (2 + NODE_LANE_PADDING), 0.0);
        const NodeSums node_sums{sums.data(), {sums.data() + 2 + NODE_LANE_PADDING}};
        add_node_visits(set, {node_y.data(), 5.0, 1}, &visit, 1, node_sums);
        const double d = std::hypot(0.001, 0.001);
        EXPECT_EQ(sums[0], 1.0 / d) << instruction_set_name(set);
        EXPECT_EQ(sums[2 + NODE_LANE_PADDING], 6.0 / d) << instruction_set_name(set);
        EXPECT_EQ(sums[1], 0.0) << instruction_set_name(set);
    }
}

// Runs far longer than the previews' (a map zoomed in has hundreds of nodes within the
// radius), many visits in a row, values of every sign, zeros and a NaN: every form's
// sums are the plain form's bits.
TEST(node_visits, long_runs_and_many_visits_add_the_plain_forms_terms) {
    SurveyRandom r(77);
    constexpr std::uint32_t nodes = 1400;
    Column c;
    for (std::size_t j = 0; j < nodes + NODE_LANE_PADDING; ++j) c.node_y.push_back(0.25 * j);
    const std::uint32_t lengths[] = {1, 7, 8, 9, 17, 255, 256, 257, 300, 1000, 1400};
    for (int k = 0; k < 400; ++k) {
        NodeVisit v;
        v.dx = r.uniform(-200.0, 200.0);
        v.py = r.uniform(-50.0, 400.0);
        v.value[0] = r.uniform(-100.0, 100.0);
        v.value[1] = k % 97 == 0 ? std::nan("") : r.normal() * 1e6;
        v.value[2] = (r.next() & 1) ? -0.0 : r.uniform(-1e-3, 1e-3);
        const std::uint32_t length =
            k % 3 == 0 ? lengths[r.next() % 11] : static_cast<std::uint32_t>(r.next() % 40);
        v.first = static_cast<std::uint32_t>(r.next() % (nodes - std::min(length, nodes) + 1));
        v.end = v.first + std::min(length, nodes);
        c.visits.push_back(v);
    }
    const std::size_t stride = nodes + NODE_LANE_PADDING;
    for (int variables = 1; variables <= 3; ++variables) {
        const auto sums_of = [&](InstructionSet set) {
            std::vector<double> sums(4 * stride, 0.0);
            const NodeSums node_sums{
                sums.data(),
                {sums.data() + stride, sums.data() + 2 * stride, sums.data() + 3 * stride}};
            add_node_visits(set, {c.node_y.data(), 150.0, variables}, c.visits.data(),
                            c.visits.size(), node_sums);
            return sums;
        };
        const std::vector<double> plain = sums_of(InstructionSet::Scalar);
        int taken = 0;
        for (std::size_t j = 0; j < nodes; ++j) taken += plain[j] > 0.0;
        EXPECT_GT(taken, static_cast<int>(nodes) / 2);
        for (InstructionSet set : runnable_instruction_sets()) {
            const std::vector<double> sums = sums_of(set);
            EXPECT_EQ(std::memcmp(sums.data(), plain.data(), plain.size() * sizeof(double)), 0)
                << instruction_set_name(set) << " with " << variables << " variables";
        }
    }
}
