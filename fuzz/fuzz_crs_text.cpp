// Fuzzes the coordinate-system text of an export: check_crs over the input, through
// GDAL and PROJ. A text is refused with a message that names it, or accepted as WKT;
// the WKT an export writes into its files must itself be accepted, for a file to be
// read back into a GIS. (Not compared byte for byte: PROJ may word an axis of the WKT
// it reads differently from the one it was given.)

#include <cstdint>
#include <cstdlib>
#include <string>

#include "export/crs_text.h"
#include "fuzz/fuzz_checks.h"

namespace {

bool blank(const std::string& text) {
    return text.find_first_not_of(" \t\r\n") == std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // GDAL takes the text as a C string: what follows a NUL byte never reaches it.
    const std::string text(reinterpret_cast<const char*>(data), size);
    if (text.find('\0') != std::string::npos) return 0;
    const CrsCheck check = check_crs(text);
    if (blank(text)) {
        require(check.wkt.empty() && check.error.empty());
        return 0;
    }
    require(check.wkt.empty() != check.error.empty());
    if (!check.error.empty()) {
        require(check.error.rfind("Unknown coordinate system '" + text + "'", 0) == 0);
        return 0;
    }
    const CrsCheck again = check_crs(check.wkt);
    require(again.error.empty() && !again.wkt.empty());
    return 0;
}
