#pragma once
// The values of the window's controls that the settings file keeps, as a plain record,
// and their way into and out of a SettingsBlock. Field names are the controls' names;
// indices are list positions, numbers are what the edit fields hold as numbers.

#include <string>

#include "engine/engine.h"
#include "settings/settings_block.h"

// Defaults are the window's creation values.
struct SettingsValues {
    std::string txt_in;
    std::string txt_out;
    std::string txt_log;
    double txt_radius = 0.0;
    double txt_nearest = 0.0;
    int txt_iter = 0;  // up1 position, 0..10000
    int cb_iter = 0;   // 0 "RGA", 1 "LGA"
    bool cb_preview = false;
    int cb1 = 1;  // preview lists: -1 means no selection
    int cb2 = 0;
    int cb3 = 1;
    int cmb_point = 2;  // columns, 0 = "A" .. 25 = "Z"
    int cmb_gx = 0;
    int cmb_gy = 1;
    int cmb_gz = 3;
    int cmb_uba = 4;
    int cmb_centerx = 2;  // CenteringMode
    int cmb_centery = 2;
    int cmb_centerz = 0;
    int cmb_centeru = 0;
    double txt_alpha = 0.01;
    bool chb_cpin = false;
    int rg_tendencies = 1;  // Tendency
    int rg_method = 1;      // SolverKind
    double txt_threshold = -1.0;
    int txt_npoints = 10;
    int rg_search = 0;  // SearchMode
};

// The block's values with every index checked against its list: a column outside
// A..Z, a tendency, method, centring, search mode or iteration object outside its list
// (a damaged file) comes back as the control's creation value; a preview index outside
// the longest preview list (0..9; 0..1 for cb1) comes back as -1, no selection; the
// iteration count is held to 0..10000; a number that is not finite comes back as its
// creation value. Texts come back as stored (see SettingsBlock::text).
SettingsValues settings_values_from(const SettingsBlock& block);

struct SettingsStoreResult {
    bool ok = true;
    std::string refused_field;  // "txt_in", "txt_out" or "txt_log" when not ok
};

// Refreshes every non-reserved field of block from values. A path longer than 254 bytes
// does not fit its field and is refused: nothing in the block is changed then (the
// window reports "Error by save config file" and keeps the previous file).
SettingsStoreResult store_settings_values(const SettingsValues& values, SettingsBlock& block);

// Copies what a run takes from the controls into settings: the three file names, the
// columns, radii, counts, coefficients, enumerations, flags and preview selections (a
// preview selection of -1 leaves the field as it is). The rules applied when a run
// starts (derived trace file, cell size, grid radius replacement) stay with the caller.
void apply_settings_values(const SettingsValues& values, RunSettings& settings);
