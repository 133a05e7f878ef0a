#pragma once
// Files written from a preview: the picture as a Windows bitmap or a JPEG, and the node
// grid as a Surfer ASCII grid. The name is used as given, whatever its extension.

#include <string>

#include "orvgrid/raster.h"
#include "orvgrid/preview_image.h"

struct FileWriteResult {
    bool ok = false;
    std::string message;  // why the file could not be written; empty on success
};

// 24-bit Windows bitmap: BITMAPFILEHEADER, BITMAPINFOHEADER, rows from the bottom, each
// padded to four bytes. A failed write leaves a file of that name as it was.
FileWriteResult write_bitmap_file(const RgbImage& image, const std::string& name);

// Baseline JPEG of quality 90, three RGB components. libjpeg's own errors are returned,
// never ended in exit(); a failed write leaves a file of that name as it was.
FileWriteResult write_jpeg_file(const RgbImage& image, const std::string& name);

// Surfer ASCII grid (DSAA) of the node grid in the coordinates as read: rows from the
// bottom, blank nodes as 1.70141e38, zlo and zhi over the other nodes (0 0 when every
// node is blank).
FileWriteResult write_surfer_grid(const PreviewGrid& grid, const std::string& name);
