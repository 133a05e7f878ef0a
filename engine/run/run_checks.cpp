#include "engine/run/run_checks.h"

#include <cmath>

#include "engine/solvers/l_curve.h"

namespace {

// Counts the alphas exactly as the L-curve forms them, by repeated multiplication;
// stops counting once the limit is passed.
std::size_t lcurve_length(double min_alpha, double max_alpha, double quotient) {
    std::size_t count = 0;
    for (double alpha = min_alpha; alpha <= max_alpha && count <= MAX_REGULARISATION_ALPHAS;
         alpha *= quotient)
        ++count;
    return count;
}

std::optional<CheckFailure> check_lcurve(const RunSettings& s) {
    if (!std::isfinite(s.min_alpha) || s.min_alpha <= 0.0)
        return CheckFailure{"Min. reg. par. value must be greater than 0.", CheckedField::MinAlpha};
    if (!std::isfinite(s.max_alpha))
        return CheckFailure{"Max. reg. par value must be a finite number.", CheckedField::MaxAlpha};
    if (!std::isfinite(s.sequence_quotient) || s.sequence_quotient <= 1.0)
        return CheckFailure{"Sequence quotient must be greater than 1.",
                            CheckedField::SequenceQuotient};
    if (lcurve_length(s.min_alpha, s.max_alpha, s.sequence_quotient) > MAX_REGULARISATION_ALPHAS)
        return CheckFailure{
            "Min. reg. par. value, Max. reg. par value and Sequence quotient "
            "give more than " +
                std::to_string(MAX_REGULARISATION_ALPHAS) +
                " regularization parameters. Increase the Sequence quotient.",
            CheckedField::SequenceQuotient};
    return std::nullopt;
}

}  // namespace

std::optional<CheckFailure> check_file_names(const std::string& input_file,
                                             const std::string& output_file) {
    if (input_file.empty())
        return CheckFailure{"Input file name is required field.", CheckedField::InputFile};
    if (output_file.empty())
        return CheckFailure{"Output file name is required field.", CheckedField::OutputFile};
    if (output_file == input_file)
        return CheckFailure{"Input and output file name must not be the same.",
                            CheckedField::OutputFile};
    return std::nullopt;
}

std::optional<CheckFailure> check_search_radius(double search_radius) {
    if (!(search_radius > 1e-6))
        return CheckFailure{"Search radius must be greater than 0.", CheckedField::SearchRadius};
    return std::nullopt;
}

std::optional<CheckFailure> check_run_limits(const RunSettings& settings) {
    if (settings.solver == SolverKind::Tichonov && settings.sv_threshold < 0.0) {
        if (auto failure = check_lcurve(settings)) return failure;
    }
    if (settings.search_mode == SearchMode::NNearest && settings.nearest_count < 1)
        return CheckFailure{"N nearest points must be at least 1.", CheckedField::NearestCount};
    return std::nullopt;
}

std::optional<CheckFailure> check_nearest_count(const RunSettings& settings,
                                                std::size_t points_read) {
    if (settings.search_mode != SearchMode::NNearest) return std::nullopt;
    if (settings.nearest_count >= 1 &&
        static_cast<std::size_t>(settings.nearest_count) <= points_read)
        return std::nullopt;
    return CheckFailure{"N nearest points must be between 1 and the number of points (" +
                            std::to_string(points_read) + ").",
                        CheckedField::NearestCount};
}

std::string derive_trace_file(const std::string& input_file) {
    const std::size_t name_start = input_file.find_last_of("/\\");
    const std::size_t first = name_start == std::string::npos ? 0 : name_start + 1;
    const std::size_t dot = input_file.rfind('.');
    const std::size_t stem_end =
        dot != std::string::npos && dot >= first ? dot : input_file.size();
    return input_file.substr(0, stem_end) + "_trace_out.dat";
}
