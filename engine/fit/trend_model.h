#pragma once
// One record per trend model (Tendency): everything the fit, the quantities, the result
// file and its loader, the previews, the batch runner and the window know about a model.
// Besides a record here, a new model needs only its enumerator, its caption in the
// window's list and its name on the batch command line.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "engine/engine.h"

// A factor of a term of the trend: the neighbour's centred X, Y or Z, or 1.
enum class Factor : std::uint8_t { One, X, Y, Z };

// A term of the trend: the product of two factors. A linear term has One as its second
// factor and the constant term One as both; the fit never multiplies by that 1.
struct Term {
    Factor first = Factor::One;
    Factor second = Factor::One;
};

// A value a model writes into a result row or a WorkPoint result position. At a result
// position, Unwritten leaves what the position held and Zero clears it.
// clang-format off
enum class Quantity : std::uint8_t {
    Unwritten, Zero,
    HGGAX, HGGAY, HGGA, VGGA, RGA, LGA, ASIG, TILT,
    Coeff0, Coeff1, Coeff2, Coeff3, Coeff4, Coeff5, Coeff6, Coeff7, Coeff8, Coeff9
};
// clang-format on

// k for the coefficient c[k], -1 for any other quantity.
constexpr int coefficient_index(Quantity q) {
    return q >= Quantity::Coeff0 ? static_cast<int>(q) - static_cast<int>(Quantity::Coeff0) : -1;
}

// The formulas that turn a model's coefficients into gradients.
enum class Gradients : std::uint8_t {
    None,        // the model has no gradients
    Planar,      // c[0], c[1], c[2] are the x, y and vertical gradients
    CrossTerms,  // horizontal from c[0], c[1]; vertical from c[2], c[3], c[4] (X·Z, Y·Z, Z)
};

// An entry of preview lists 2 and 3: its text and the WorkPoint position it shows.
struct PreviewEntry {
    const char* text;
    int position;
};

struct TrendModel {
    Tendency tendency;

    // The local fit. The terms are accumulated into the normal equations in coefficient
    // order; the solver sees the leading `unknowns` of them. The 3x3 model accumulates
    // its constant term beyond its three unknowns, only to count the neighbours.
    int unknowns;
    std::span<const Term> terms;

    // The quantities: RGA is c[regional] and LGA the anomaly minus RGA; -1: neither.
    Gradients gradients;
    int regional;

    // What the last pass stores at the result positions work::hggax (5) to 14.
    std::array<Quantity, 10> stored;
    // Where the passes before the last keep RGA and LGA; the next pass corrects the
    // anomaly by that LGA. -1: they keep nothing and the anomaly is never corrected.
    int earlier_rga;
    int earlier_lga;

    // The result file: the model's name closing header line 1, header line 2 (with its
    // '\n'), and what each row prints between the CBA and neighbour_count.
    const char* caption;
    const char* column_names;
    std::span<const Quantity> printed;

    // Preview lists 2 and 3 as the window fills them, and its tendency rule: an old list
    // position above keep_bound becomes 0; without iterations the count is set to 0 and
    // disabled. A model that does not refill the lists leaves them, their positions and
    // the iteration controls as they are, so its list is the one a fresh window holds.
    std::span<const PreviewEntry> result_list;
    int keep_bound;
    bool iterations = true;
    bool refills_lists = true;

    // Columns of a result row: x, y, point, height, CBA, the printed values, the count.
    constexpr int columns() const { return 5 + static_cast<int>(printed.size()) + 1; }

    // The term whose diagonal entry sums 1 · 1, so counts the neighbours: the constant.
    constexpr int counting_term() const {
        for (std::size_t i = 0; i < terms.size(); ++i)
            if (terms[i].first == Factor::One && terms[i].second == Factor::One)
                return static_cast<int>(i);
        return -1;
    }

    // The WorkPoint position where the last pass stores q; -1 if it is not stored.
    constexpr int stored_position(Quantity q) const {
        for (std::size_t i = 0; i < stored.size(); ++i)
            if (stored[i] == q) return work::hggax + static_cast<int>(i);
        return -1;
    }
};

namespace trend_tables {

using enum Factor;
using enum Quantity;

inline constexpr Term LINEAR_TERMS[] = {{X}, {Y}, {Z}, {}};
inline constexpr Term SIX_TERMS[] = {{X}, {Y}, {X, Z}, {Y, Z}, {Z}, {}};
inline constexpr Term QUADRATIC_TERMS[] = {{X},    {Y},    {Z},    {X, X}, {Y, Y},
                                           {Z, Z}, {X, Y}, {X, Z}, {Y, Z}, {}};
inline constexpr Term NTE_FAY_TERMS[] = {{X}, {}, {Z}};

inline constexpr Quantity PLANAR_PRINTED[] = {HGGAX, HGGAY, HGGA, VGGA, ASIG, TILT};
inline constexpr Quantity LINEAR4_PRINTED[] = {HGGAX, HGGAY, HGGA, VGGA, RGA, LGA, ASIG, TILT};
inline constexpr Quantity SIX_PRINTED[] = {Coeff0, Coeff1, Coeff2, Coeff3, Coeff4, Coeff5, TILT};
inline constexpr Quantity QUADRATIC_PRINTED[] = {Coeff0, Coeff1, Coeff2, Coeff3, Coeff4,
                                                 Coeff5, Coeff6, Coeff7, Coeff8, Coeff9};

inline constexpr PreviewEntry PLANAR_LIST[] = {{"HGGAX", work::hggax}, {"HGGAY", work::hggay},
                                               {"HGGA", work::hgga},   {"VGGA", work::vgga},
                                               {"ASIG", work::asig},   {"TILT", work::tilt}};
inline constexpr PreviewEntry LINEAR4_LIST[] = {
    {"HGGAX", work::hggax}, {"HGGAY", work::hggay}, {"HGGA", work::hgga}, {"VGGA", work::vgga},
    {"RGA", work::rga},     {"LGA", work::lga},     {"ASIG", work::asig}, {"TILT", work::tilt}};
inline constexpr PreviewEntry COEFFICIENT_LIST[] = {
    {"COEFF_0", work::coefficient(0)}, {"COEFF_1", work::coefficient(1)},
    {"COEFF_2", work::coefficient(2)}, {"COEFF_3", work::coefficient(3)},
    {"COEFF_4", work::coefficient(4)}, {"COEFF_5", work::coefficient(5)},
    {"COEFF_6", work::coefficient(6)}, {"COEFF_7", work::coefficient(7)},
    {"COEFF_8", work::coefficient(8)}, {"COEFF_9", work::coefficient(9)}};
// The lists as the window is designed with them: each entry names two quantities.
inline constexpr PreviewEntry DESIGN_TIME_LIST[] = {
    {"HGGAX/GAX", work::hggax}, {"HGGAY/GAY", work::hggay}, {"HGGA/GAH", work::hgga},
    {"VGGA/GAXX", work::vgga},  {"RGA/GAYY", work::rga},    {"LGA/GAHH", work::lga},
    {"ASIG/RGA", work::asig},   {"TILT /LGA", work::tilt}};

inline constexpr const char* PLANAR_CAPTION = "Linear  Interpolation(3x3)";

}  // namespace trend_tables

// Indexed by Tendency.
inline constexpr std::array<TrendModel, 5> TREND_MODELS = {{
    {.tendency = Tendency::Linear3x3,
     .unknowns = 3,
     .terms = trend_tables::LINEAR_TERMS,
     .gradients = Gradients::Planar,
     .regional = -1,
     .stored = {Quantity::HGGAX, Quantity::HGGAY, Quantity::HGGA, Quantity::VGGA, Quantity::Zero,
                Quantity::Zero, Quantity::ASIG, Quantity::TILT, Quantity::Unwritten,
                Quantity::Unwritten},
     .earlier_rga = -1,
     .earlier_lga = -1,
     .caption = trend_tables::PLANAR_CAPTION,
     .column_names = "          x           y      point          h        cba      hggax"
                     "      hggay       hgga       vgga       asig tilt_angle    npoints\n",
     .printed = trend_tables::PLANAR_PRINTED,
     .result_list = trend_tables::PLANAR_LIST,
     .keep_bound = 4,
     .iterations = false},
    {.tendency = Tendency::Linear4x4,
     .unknowns = 4,
     .terms = trend_tables::LINEAR_TERMS,
     .gradients = Gradients::Planar,
     .regional = 3,
     .stored = {Quantity::HGGAX, Quantity::HGGAY, Quantity::HGGA, Quantity::VGGA, Quantity::RGA,
                Quantity::LGA, Quantity::ASIG, Quantity::TILT, Quantity::Unwritten,
                Quantity::Unwritten},
     .earlier_rga = work::rga,
     .earlier_lga = work::lga,
     .caption = "Linear  Interpolation(4x4)",
     .column_names = "          x           y      point          h        cba      hggax"
                     "      hggay       hgga       vgga        rga        lga       asig"
                     " tilt_angle    npoints\n",
     .printed = trend_tables::LINEAR4_PRINTED,
     .result_list = trend_tables::LINEAR4_LIST,
     .keep_bound = 6},
    {.tendency = Tendency::Linear6x6,
     .unknowns = 6,
     .terms = trend_tables::SIX_TERMS,
     .gradients = Gradients::CrossTerms,
     .regional = 5,
     .stored = {Quantity::Coeff0, Quantity::Coeff1, Quantity::Coeff2, Quantity::Coeff3,
                Quantity::Coeff4, Quantity::Coeff5, Quantity::Zero, Quantity::TILT,
                Quantity::Unwritten, Quantity::Unwritten},
     .earlier_rga = work::rga,
     .earlier_lga = work::lga,
     .caption = "Linear  Interpolation(6x6)",
     .column_names = "          x           y      point          h        cba          a"
                     "          b          c          d          e          f tilt_angle"
                     "        nno\n",
     .printed = trend_tables::SIX_PRINTED,
     .result_list = std::span<const PreviewEntry>(trend_tables::COEFFICIENT_LIST).first(6),
     .keep_bound = 5},
    {.tendency = Tendency::Quadratic10x10,
     .unknowns = 10,
     .terms = trend_tables::QUADRATIC_TERMS,
     .gradients = Gradients::None,
     .regional = 9,
     .stored = {Quantity::Coeff0, Quantity::Coeff1, Quantity::Coeff2, Quantity::Coeff3,
                Quantity::Coeff4, Quantity::Coeff5, Quantity::Coeff6, Quantity::Coeff7,
                Quantity::Coeff8, Quantity::Coeff9},
     // Where the last pass puts c[6] and c[7].
     .earlier_rga = work::coefficient(6),
     .earlier_lga = work::coefficient(7),
     .caption = "Quadratic  Interpolation",
     .column_names = "          x           y      point          h        cba          a"
                     "          b          c          d          e          f          g"
                     "          k          l          q        nno\n",
     .printed = trend_tables::QUADRATIC_PRINTED,
     .result_list = trend_tables::COEFFICIENT_LIST,
     .keep_bound = 9},
    // The constant term takes the place of the y gradient, and the planar formulas are
    // applied as they stand; the height column holds NTE and the anomaly column FAY.
    {.tendency = Tendency::Linear3x3NteFay,
     .unknowns = 3,
     .terms = trend_tables::NTE_FAY_TERMS,
     .gradients = Gradients::Planar,
     .regional = -1,
     .stored = {Quantity::HGGAX, Quantity::HGGAY, Quantity::HGGA, Quantity::VGGA, Quantity::Zero,
                Quantity::Zero, Quantity::ASIG, Quantity::TILT, Quantity::Unwritten,
                Quantity::Unwritten},
     .earlier_rga = -1,
     .earlier_lga = -1,
     .caption = trend_tables::PLANAR_CAPTION,
     .column_names = "          x           y      point        nte        fay      hggax"
                     "      hggay       hgga       vgga       asig tilt_angle    npoints\n",
     .printed = trend_tables::PLANAR_PRINTED,
     .result_list = trend_tables::DESIGN_TIME_LIST,
     .keep_bound = 7,
     .refills_lists = false},
}};

// The record of a valid tendency.
constexpr const TrendModel& trend_model(Tendency t) {
    return TREND_MODELS[static_cast<std::size_t>(t)];
}

// Number of unknowns of a trend model: 3, 4, 6, 10 or 3.
int unknowns_of(Tendency t);

// The tendency at position `index` of the window's list; nullopt outside it.
std::optional<Tendency> tendency_at(int index);

// The tendency a result row of `columns` tokens was written under: the first model with
// that many columns (so 12 reads as Linear3x3, whose rows Linear3x3NteFay shares), or the
// widest model for a row longer than any other model's; nullopt otherwise.
std::optional<Tendency> tendency_of_columns(std::size_t columns);
