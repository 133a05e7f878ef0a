#include "export/grid_file.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <string>

#include "export/crs_text.h"
#include "tests/export/gdal_files.h"

namespace fs = std::filesystem;

namespace {

// Values with every bit of a double in use, and one blank node.
ExportGrid sample_grid() {
    ExportGrid grid;
    grid.name = "hggax";
    grid.nx = 5;
    grid.ny = 4;
    grid.west = 500100.5;
    grid.south = 4000200.25;
    grid.cell_size = 25.0;
    for (std::size_t i = 0; i < grid.nx; ++i)
        for (std::size_t j = 0; j < grid.ny; ++j)
            grid.values.push_back(1.0 / (3.0 + static_cast<double>(i)) + 3.14159e-7 * static_cast<double>(j));
    grid.values[1 * grid.ny + 2] = EXPORT_NODATA;
    return grid;
}

struct FormatCase {
    GridFormat format;
    GridValueType type;
    const char* file;
};

// What GDAL reads where the grid holds `value`, for the case's storage.
double stored(const FormatCase& c, double value) {
    if (c.type == GridValueType::Float32 && c.format != GridFormat::Surfer7)
        return static_cast<double>(static_cast<float>(value));
    return value;
}

class grid_file : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() / ("grid_file_" + std::to_string(::getpid()));
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }
    fs::path folder_;
};

}  // namespace

// Every format and value type, with and without a coordinate system: the size, the
// node positions (the centre of their pixels), the nodata, the CRS and every value as
// GDAL reads them back.
TEST_F(grid_file, reads_back_through_gdal_with_its_nodes_values_and_crs) {
    const FormatCase cases[] = {
        {GridFormat::GeoTiff, GridValueType::Float64, "g64.tif"},
        {GridFormat::GeoTiff, GridValueType::Float32, "g32.tif"},
        {GridFormat::NetCdf, GridValueType::Float64, "n64.nc"},
        {GridFormat::NetCdf, GridValueType::Float32, "n32.nc"},
        {GridFormat::Surfer7, GridValueType::Float32, "s7.grd"},
        {GridFormat::SurferAscii, GridValueType::Float64, "dsaa.grd"},
    };
    const ExportGrid grid = sample_grid();
    const std::string utm = check_crs("EPSG:32633").wkt;
    ASSERT_FALSE(utm.empty());
    for (const std::string& crs : {utm, std::string()}) {
        for (const FormatCase& c : cases) {
            SCOPED_TRACE(std::string(c.file) + (crs.empty() ? " without CRS" : " with CRS"));
            const fs::path path = folder_ / (crs.empty() ? "plain_" : "utm_") += c.file;
            ASSERT_EQ(write_grid_file(grid, {c.format, c.type, crs}, path), "");
            const RasterRead r = read_raster(path.string());
            ASSERT_EQ(r.width, 5);
            ASSERT_EQ(r.height, 4);
            ASSERT_EQ(r.values.size(), 20u);
            EXPECT_EQ(r.has_crs, !crs.empty());
            EXPECT_EQ(r.crs_is_32633, !crs.empty());
            ASSERT_TRUE(r.has_nodata);
            EXPECT_NEAR(r.nodata / EXPORT_NODATA, 1.0, 1e-6);
            if (c.type == GridValueType::Float32 && c.format != GridFormat::Surfer7 &&
                c.format != GridFormat::SurferAscii) {
                EXPECT_EQ(r.type, GDT_Float32);
            }
            for (std::size_t i = 0; i < grid.nx; ++i) {
                const double x = r.transform[0] + (static_cast<double>(i) + 0.5) * r.transform[1];
                EXPECT_NEAR(x, grid.west + 25.0 * static_cast<double>(i), 1e-6);
                for (std::size_t j = 0; j < grid.ny; ++j) {
                    const double row = static_cast<double>(3 - j);
                    EXPECT_NEAR(r.transform[3] + (row + 0.5) * r.transform[5],
                                grid.south + 25.0 * static_cast<double>(j), 1e-6);
                    const double want = grid.values[i * grid.ny + j];
                    const double got = node_of(r, i, j);
                    if (want == EXPORT_NODATA) EXPECT_EQ(got, r.nodata) << i << "," << j;
                    else if (c.format == GridFormat::SurferAscii)  // 14 digits of text
                        EXPECT_NEAR(got, want, 1e-13 * std::fabs(want)) << i << "," << j;
                    else EXPECT_EQ(got, stored(c, want)) << i << "," << j;
                }
            }
        }
    }
}

// netCDF keeps x and y as projection coordinates holding the node positions, never as
// the longitude and latitude GDAL's raster writer falls back to without a CRS.
TEST_F(grid_file, netcdf_has_x_and_y_coordinate_variables_of_the_nodes) {
    const ExportGrid grid = sample_grid();
    const fs::path path = folder_ / "plain.nc";
    ASSERT_EQ(write_netcdf_grid(grid, {GridFormat::NetCdf, GridValueType::Float64, ""}, path), "");
    ensure_gdal_drivers();
    const GdalFile file(GDALDataset::Open(path.c_str(), GDAL_OF_MULTIDIM_RASTER));
    ASSERT_TRUE(file);
    const auto root = file->GetRootGroup();
    const std::vector<std::string> names = root->GetMDArrayNames();
    EXPECT_EQ(names, (std::vector<std::string>{"x", "y", "hggax"}));
    for (const char* axis : {"x", "y"}) {
        const auto array = root->OpenMDArray(axis);
        ASSERT_TRUE(array);
        const bool is_x = axis[0] == 'x';
        const std::size_t n = is_x ? grid.nx : grid.ny;
        std::vector<double> positions(n);
        const GUInt64 start[] = {0};
        const size_t count[] = {n};
        ASSERT_TRUE(array->Read(start, count, nullptr, nullptr,
                                GDALExtendedDataType::Create(GDT_Float64), positions.data()));
        for (std::size_t k = 0; k < n; ++k)
            EXPECT_EQ(positions[k], (is_x ? grid.west : grid.south) + static_cast<double>(k) * 25.0);
        const auto standard_name = array->GetAttribute("standard_name");
        ASSERT_TRUE(standard_name);
        EXPECT_STREQ(standard_name->ReadAsString(),
                     is_x ? "projection_x_coordinate" : "projection_y_coordinate");
    }
}
