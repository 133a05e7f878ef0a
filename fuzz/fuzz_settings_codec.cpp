// Fuzzes the settings-file codec: read_settings_file over the input as a file, the
// values taken from the block with their checks, stored back and taken again. The
// values of any file must be ones the window can show and a run can use, storing them
// must change no reserved byte, and a second round must change nothing at all.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "fuzz/fuzz_checks.h"
#include "fuzz/fuzz_file.h"
#include "settings/settings_file.h"
#include "settings/settings_values.h"

namespace {

bool within(int value, int first, int last) { return value >= first && value <= last; }

void check_values(const SettingsValues& v) {
    require(std::isfinite(v.txt_radius) && std::isfinite(v.txt_nearest) &&
            std::isfinite(v.txt_alpha) && std::isfinite(v.txt_threshold));
    require(within(v.txt_iter, 0, 10000) && within(v.cb_iter, 0, 1));
    require(within(v.cb1, -1, 1) && within(v.cb2, -1, 9) && within(v.cb3, -1, 9));
    for (int column : {v.cmb_point, v.cmb_gx, v.cmb_gy, v.cmb_gz, v.cmb_uba})
        require(within(column, 0, 25));
    for (int centering : {v.cmb_centerx, v.cmb_centery, v.cmb_centerz, v.cmb_centeru})
        require(within(centering, 0, 2));
    require(within(v.rg_tendencies, 0, 4) && within(v.rg_method, 0, 2) &&
            within(v.rg_search, 0, 1));
    for (const std::string* text : {&v.txt_in, &v.txt_out, &v.txt_log})
        require(text->size() <= SettingsBlock::MAX_TEXT_CHARS &&
                text->find('\0') == std::string::npos);
}

bool same_bytes(const SettingsBlock& a, const SettingsBlock& b, std::size_t offset,
                std::size_t width) {
    return std::equal(a.bytes().begin() + offset, a.bytes().begin() + offset + width,
                      b.bytes().begin() + offset);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static FuzzFile file;
    SettingsBlock block;
    const SettingsReadStatus status = read_settings_file(file.hold(data, size), block);
    require(status == SettingsReadStatus::Read);
    const std::size_t held = std::min(size, SettingsBlock::SIZE);
    require(std::equal(data, data + held, block.bytes().begin()));
    require(std::all_of(block.bytes().begin() + held, block.bytes().end(),
                        [](std::uint8_t b) { return b == 0; }));

    const SettingsValues first = settings_values_from(block);
    check_values(first);
    RunSettings run;
    apply_settings_values(first, run);

    SettingsBlock stored = block;
    require(store_settings_values(first, stored).ok);
    namespace f = settings_field;
    require(same_bytes(block, stored, f::reserved_1, f::RESERVED_1_WIDTH));
    require(same_bytes(block, stored, f::reserved_2, f::RESERVED_2_WIDTH));

    SettingsBlock again = stored;
    require(store_settings_values(settings_values_from(stored), again).ok);
    require(same_bytes(stored, again, 0, SettingsBlock::SIZE));
    return 0;
}
