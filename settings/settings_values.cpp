#include "settings/settings_values.h"

#include <cmath>

namespace {

namespace f = settings_field;

constexpr int COLUMN_LETTERS = 26;
constexpr int TENDENCIES = 5;
constexpr int SOLVERS = 3;
constexpr int CENTERINGS = 3;
constexpr int SEARCH_MODES = 2;
constexpr int ITERATION_OBJECTS = 2;
constexpr int PREVIEW1_ITEMS = 2;
constexpr int PREVIEW_ITEMS_MAX = 10;  // the quadratic model's ten coefficients
constexpr int MAX_ITERATIONS = 10000;

int in_list(int stored, int items, int fallback) {
    return stored >= 0 && stored < items ? stored : fallback;
}

double finite_or(double stored, double fallback) {
    return std::isfinite(stored) ? stored : fallback;
}

}  // namespace

SettingsValues settings_values_from(const SettingsBlock& block) {
    const SettingsValues fresh;
    SettingsValues v;
    v.txt_in = block.text(f::txt_in);
    v.txt_out = block.text(f::txt_out);
    v.txt_log = block.text(f::txt_log);
    v.txt_radius = finite_or(block.real(f::txt_radius), fresh.txt_radius);
    v.txt_nearest = finite_or(block.real(f::txt_nearest), fresh.txt_nearest);
    int iterations = block.int32(f::txt_iter);
    v.txt_iter = iterations < 0 ? 0 : (iterations > MAX_ITERATIONS ? MAX_ITERATIONS : iterations);
    v.cb_iter = in_list(block.int32(f::cb_iter), ITERATION_OBJECTS, fresh.cb_iter);
    v.cb_preview = block.flag(f::cb_preview);
    v.cb1 = in_list(block.int32(f::cb1), PREVIEW1_ITEMS, -1);
    v.cb2 = in_list(block.int32(f::cb2), PREVIEW_ITEMS_MAX, -1);
    v.cb3 = in_list(block.int32(f::cb3), PREVIEW_ITEMS_MAX, -1);
    v.cmb_point = in_list(block.int32(f::cmb_point), COLUMN_LETTERS, fresh.cmb_point);
    v.cmb_gx = in_list(block.int32(f::cmb_gx), COLUMN_LETTERS, fresh.cmb_gx);
    v.cmb_gy = in_list(block.int32(f::cmb_gy), COLUMN_LETTERS, fresh.cmb_gy);
    v.cmb_gz = in_list(block.int32(f::cmb_gz), COLUMN_LETTERS, fresh.cmb_gz);
    v.cmb_uba = in_list(block.int32(f::cmb_uba), COLUMN_LETTERS, fresh.cmb_uba);
    v.cmb_centerx = in_list(block.int32(f::cmb_centerx), CENTERINGS, fresh.cmb_centerx);
    v.cmb_centery = in_list(block.int32(f::cmb_centery), CENTERINGS, fresh.cmb_centery);
    v.cmb_centerz = in_list(block.int32(f::cmb_centerz), CENTERINGS, fresh.cmb_centerz);
    v.cmb_centeru = in_list(block.int32(f::cmb_centeru), CENTERINGS, fresh.cmb_centeru);
    v.txt_alpha = finite_or(block.real(f::txt_alpha), fresh.txt_alpha);
    v.chb_cpin = block.flag(f::chb_cpin);
    v.rg_tendencies = in_list(block.int32(f::rg_tendencies), TENDENCIES, fresh.rg_tendencies);
    v.rg_method = in_list(block.int32(f::rg_method), SOLVERS, fresh.rg_method);
    v.txt_threshold = finite_or(block.real(f::txt_threshold), fresh.txt_threshold);
    v.txt_npoints = block.int32(f::txt_npoints);
    v.rg_search = in_list(block.int32(f::rg_search), SEARCH_MODES, fresh.rg_search);
    return v;
}

SettingsStoreResult store_settings_values(const SettingsValues& values, SettingsBlock& block) {
    // Every text is tried on a copy first, so a refused path leaves the block whole.
    SettingsBlock next = block;
    if (!next.put_text(f::txt_in, values.txt_in)) return {false, "txt_in"};
    if (!next.put_text(f::txt_out, values.txt_out)) return {false, "txt_out"};
    if (!next.put_text(f::txt_log, values.txt_log)) return {false, "txt_log"};
    next.put_real(f::txt_radius, values.txt_radius);
    next.put_real(f::txt_nearest, values.txt_nearest);
    next.put_int32(f::txt_iter, values.txt_iter);
    next.put_int32(f::cb_iter, values.cb_iter);
    next.put_flag(f::cb_preview, values.cb_preview);
    next.put_int32(f::cb1, values.cb1);
    next.put_int32(f::cb2, values.cb2);
    next.put_int32(f::cb3, values.cb3);
    next.put_int32(f::cmb_point, values.cmb_point);
    next.put_int32(f::cmb_gx, values.cmb_gx);
    next.put_int32(f::cmb_gy, values.cmb_gy);
    next.put_int32(f::cmb_gz, values.cmb_gz);
    next.put_int32(f::cmb_uba, values.cmb_uba);
    next.put_int32(f::cmb_centerx, values.cmb_centerx);
    next.put_int32(f::cmb_centery, values.cmb_centery);
    next.put_int32(f::cmb_centerz, values.cmb_centerz);
    next.put_int32(f::cmb_centeru, values.cmb_centeru);
    next.put_real(f::txt_alpha, values.txt_alpha);
    next.put_flag(f::chb_cpin, values.chb_cpin);
    next.put_int32(f::rg_tendencies, values.rg_tendencies);
    next.put_int32(f::rg_method, values.rg_method);
    next.put_real(f::txt_threshold, values.txt_threshold);
    next.put_int32(f::txt_npoints, values.txt_npoints);
    next.put_int32(f::rg_search, values.rg_search);
    block = next;
    return {};
}

void apply_settings_values(const SettingsValues& values, RunSettings& settings) {
    settings.input_file = values.txt_in;
    settings.output_file = values.txt_out;
    settings.subset_file = values.txt_log;
    settings.column_x = values.cmb_gx;
    settings.column_y = values.cmb_gy;
    settings.column_point = values.cmb_point;
    settings.column_height = values.cmb_gz;
    settings.column_cba = values.cmb_uba;
    settings.search_radius = values.txt_radius;
    settings.grid_radius = values.txt_nearest;
    settings.nearest_count = values.txt_npoints;
    settings.iterations = values.txt_iter;
    settings.iteration_object = values.cb_iter;
    settings.alpha = values.txt_alpha;
    settings.sv_threshold = values.txt_threshold;
    settings.tendency = static_cast<Tendency>(values.rg_tendencies);
    settings.solver = static_cast<SolverKind>(values.rg_method);
    settings.search_mode = static_cast<SearchMode>(values.rg_search);
    settings.centering_x = static_cast<CenteringMode>(values.cmb_centerx);
    settings.centering_y = static_cast<CenteringMode>(values.cmb_centery);
    settings.centering_z = static_cast<CenteringMode>(values.cmb_centerz);
    settings.centering_cba = static_cast<CenteringMode>(values.cmb_centeru);
    settings.include_calc_point = values.chb_cpin;
    settings.preview = values.cb_preview;
    if (values.cb1 >= 0) settings.preview_var1 = values.cb1;
    if (values.cb2 >= 0) settings.preview_var2 = values.cb2;
    if (values.cb3 >= 0) settings.preview_var3 = values.cb3;
}
