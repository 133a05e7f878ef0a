#include "engine/fit/trend_model.h"

#include <utility>

namespace {

// What the readers of the table rely on, checked once for every record.
constexpr bool consistent(std::size_t index) {
    const TrendModel& m = TREND_MODELS[index];
    if (static_cast<std::size_t>(m.tendency) != index) return false;
    // The fit accumulates into the 10 x 10 system and counts rows by the constant term.
    if (m.unknowns > static_cast<int>(m.terms.size()) || m.terms.size() > 10) return false;
    if (m.counting_term() < 0) return false;
    if (m.regional >= m.unknowns) return false;
    // The loader puts every printed value where the last pass stores it.
    for (Quantity q : m.printed)
        if (m.stored_position(q) < 0) return false;
    for (Quantity q : m.stored)
        if (coefficient_index(q) >= m.unknowns) return false;
    return m.keep_bound < static_cast<int>(m.result_list.size());
}

template <std::size_t... I>
constexpr bool all_consistent(std::index_sequence<I...>) {
    return (consistent(I) && ...);
}
static_assert(all_consistent(std::make_index_sequence<TREND_MODELS.size()>{}));

}  // namespace

int unknowns_of(Tendency t) { return trend_model(t).unknowns; }

std::optional<Tendency> tendency_at(int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= TREND_MODELS.size()) return std::nullopt;
    return TREND_MODELS[static_cast<std::size_t>(index)].tendency;
}

std::optional<Tendency> tendency_of_columns(std::size_t columns) {
    const TrendModel* widest = &TREND_MODELS[0];
    for (const TrendModel& m : TREND_MODELS) {
        if (static_cast<std::size_t>(m.columns()) == columns) return m.tendency;
        if (m.columns() > widest->columns()) widest = &m;
    }
    for (const TrendModel& m : TREND_MODELS)
        if (&m != widest && static_cast<std::size_t>(m.columns()) >= columns) return std::nullopt;
    return widest->tendency;
}
