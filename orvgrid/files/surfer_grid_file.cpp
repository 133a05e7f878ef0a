#include <charconv>
#include <string>

#include "engine/points/staged_file.h"
#include "orvgrid/files/image_files.h"

namespace {

constexpr std::size_t PIECE_BYTES = std::size_t{1} << 20;

// Shortest text that reads back to the same number; independent of the C locale, so a
// decimal comma in the user's settings never reaches the file.
template <typename Number>
void put_number(std::string& out, Number value) {
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, value);
    out.append(text, result.ptr);
}

template <typename Number>
void put_pair(std::string& out, Number first, Number second) {
    put_number(out, first);
    out += ' ';
    put_number(out, second);
    out += '\n';
}

}  // namespace

FileWriteResult write_surfer_grid(const PreviewGrid& grid, const std::string& name) {
    const std::string failure = "Cannot write grid file " + name;
    if (grid.nx == 0 || grid.ny == 0 || grid.values.size() != grid.nx * grid.ny)
        return {false, failure + " (no grid)"};

    float z_low = 0.0f, z_high = 0.0f;
    bool any = false;
    for (float z : grid.values) {
        if (is_blank(z)) continue;
        if (!any || z < z_low) z_low = z;
        if (!any || z > z_high) z_high = z;
        any = true;
    }
    const double last = static_cast<double>(grid.nx - 1) * grid.cell_size;
    const double top = static_cast<double>(grid.ny - 1) * grid.cell_size;

    // The text goes to the file a piece at a time: a large grid's whole text would need
    // as much memory again as its values, and more.
    StagedFile file;
    if (!file.open(name)) return {false, failure};
    std::string text = "DSAA\n";
    put_pair(text, grid.nx, grid.ny);
    put_pair(text, grid.origin_x - grid.x_offset, grid.origin_x + last - grid.x_offset);
    put_pair(text, grid.origin_y - grid.y_offset, grid.origin_y + top - grid.y_offset);
    put_pair(text, z_low, z_high);
    for (std::size_t j = 0; j < grid.ny; ++j) {
        for (std::size_t i = 0; i < grid.nx; ++i) {
            if (i > 0) text += ' ';
            const float z = grid.at(i, j);
            if (is_blank(z))
                text += "1.70141e38";
            else
                put_number(text, z);
            if (text.size() >= PIECE_BYTES) {
                if (!file.write(text)) return {false, failure};
                text.clear();
            }
        }
        text += '\n';
    }
    if (!file.write(text) || !file.commit(Durability::Synced)) return {false, failure};
    return {true, {}};
}
