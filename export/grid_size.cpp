#include "export/grid_size.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

std::string number_text(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.15g", value);
    return text;
}

}  // namespace

std::size_t export_node_limit() {
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long page_size = ::sysconf(_SC_PAGE_SIZE);
    if (pages <= 0 || page_size <= 0) return std::size_t{1} << 28;
    double bytes = static_cast<double>(pages) * static_cast<double>(page_size);
    // Under an address-space limit (ulimit -v, a batch system's memory limit) the
    // allocation fails at the limit, however much memory the machine has.
    rlimit space{};
    if (::getrlimit(RLIMIT_AS, &space) == 0 && space.rlim_cur != RLIM_INFINITY)
        bytes = std::min(bytes, static_cast<double>(space.rlim_cur));
    return static_cast<std::size_t>(bytes / 2.0 / static_cast<double>(EXPORT_BYTES_PER_NODE));
}

std::string check_cell_size(double cell_size) {
    if (cell_size > 0.0 && std::isfinite(cell_size)) return {};
    return "The cell size must be a number greater than 0, not " + number_text(cell_size);
}

GridSize export_lattice(const PointExtent& extent, double cell_size, std::size_t max_nodes) {
    GridSize size;
    size.error = check_cell_size(cell_size);
    if (!size.error.empty()) return size;
    size.lattice = lattice_over_extent(extent, cell_size, max_nodes);
    if (size.lattice) return size;
    const double nx = std::floor((extent.x_max - extent.x_min + cell_size) / cell_size);
    const double ny = std::floor((extent.y_max - extent.y_min + cell_size) / cell_size);
    size.error = "A cell size of " + number_text(cell_size) + " needs " + number_text(nx) +
                 " x " + number_text(ny) + " grid nodes, more than the memory allows (at most " +
                 std::to_string(max_nodes) + " nodes); choose a larger cell size";
    return size;
}
