#include "export/station_layer.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "engine/run/run_calculation.h"
#include "export/crs_text.h"
#include "export/export_fields.h"
#include "tests/export/gdal_files.h"
#include "tests/support/fake_monitor.h"
#include "tests/support/test_points.h"

namespace fs = std::filesystem;

namespace {

class station_layer : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() / ("station_layer_" + std::to_string(::getpid()));
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }
    fs::path folder_;
};

// Three Linear 3x3 stations read with shifted coordinates; the second got no row, the
// third a NaN tilt (0 / 0).
RunState three_stations() {
    RunState state;
    state.points.count = 3;
    state.points.survey.resize(4);
    state.points.work.resize(4);
    state.points.extent.x_offset = 1000.0;
    state.points.extent.y_offset = 0.25;
    for (std::size_t p = 0; p < 3; ++p) {
        const double k = static_cast<double>(p);
        state.points.work[p].value[work::x] = 1000.0 + 10.1 * k - 7.3;
        state.points.work[p].value[work::y] = 0.25 + 20.2 * k;
        state.points.work[p].value[work::height] = 350.125 + k;
        state.points.survey[p] = {101.0 + k, -11.3456789012345 + k / 3.0, 0.0};
        for (int position = 5; position <= 12; ++position)
            state.points.work[p].value[position] = (position + k) / 7.0 * 1e-4;
    }
    state.points.work[2].value[12] = std::numeric_limits<double>::quiet_NaN();
    state.row_neighbours = {17.0, std::numeric_limits<double>::quiet_NaN(), 23.0};
    return state;
}

bool same_bits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

}  // namespace

// Every field of every station with a row, bit for bit, as a GeoPackage reads it back
// (with its points and CRS) and as the CSV's text parses.
TEST_F(station_layer, fields_hold_the_rows_doubles_in_geopackage_and_csv) {
    const RunState state = three_stations();
    const std::vector<StationField> fields = station_fields(Tendency::Linear3x3);
    const std::vector<std::string> names = {"x",    "y",    "point", "h",    "cba",
                                            "hggax", "hggay", "hgga", "vgga", "asig",
                                            "tilt_angle", "npoints"};
    ASSERT_EQ(fields.size(), names.size());
    for (StationFormat format : {StationFormat::GeoPackage, StationFormat::Csv}) {
        SCOPED_TRACE(std::string(name_of(format)));
        const fs::path path = folder_ / ("stations" + std::string(extension_of(format)));
        const StationLayerSpec spec{format, check_crs("EPSG:32633").wkt, "stations"};
        ASSERT_EQ(write_station_layer(state, Tendency::Linear3x3, spec, path), "");
        const char* const csv_types[] = {"AUTODETECT_TYPE=YES", nullptr};
        const GdalFile file = open_vector(path.string(), csv_types);
        ASSERT_TRUE(file);
        OGRLayer* layer = file->GetLayer(0);
        ASSERT_EQ(layer->GetFeatureCount(), 2);
        OGRFeatureDefn* definition = layer->GetLayerDefn();
        ASSERT_EQ(definition->GetFieldCount(), static_cast<int>(names.size()));
        for (std::size_t f = 0; f < names.size(); ++f)
            EXPECT_EQ(definition->GetFieldDefn(static_cast<int>(f))->GetNameRef(), names[f]);
        if (format == StationFormat::GeoPackage) {
            ASSERT_TRUE(layer->GetSpatialRef());
            EXPECT_EQ(std::string(layer->GetSpatialRef()->GetAuthorityCode(nullptr)), "32633");
        }
        layer->ResetReading();
        for (std::size_t p : {std::size_t{0}, std::size_t{2}}) {
            std::unique_ptr<OGRFeature> feature(layer->GetNextFeature());
            ASSERT_TRUE(feature);
            for (std::size_t f = 0; f < fields.size(); ++f) {
                const double want = station_value(fields[f], state, p);
                const int index = static_cast<int>(f);
                if (std::isnan(want)) {
                    EXPECT_FALSE(feature->IsFieldSetAndNotNull(index)) << names[f];
                    continue;
                }
                EXPECT_TRUE(same_bits(feature->GetFieldAsDouble(index), want))
                    << names[f] << " of station " << p;
            }
            EXPECT_EQ(feature->GetFieldAsDouble(0), state.points.x(p) - 1000.0);
            if (format == StationFormat::GeoPackage) {
                const auto* point = feature->GetGeometryRef()->toPoint();
                EXPECT_EQ(point->getX(), state.points.x(p) - 1000.0);
                EXPECT_EQ(point->getY(), state.points.y(p) - 0.25);
            }
        }
    }
}

// After a run of the example survey, each station's fields printed as the result file
// prints them give that station's row, token for token: the layer carries the values the
// rows were printed from.
TEST_F(station_layer, geopackage_fields_are_the_result_rows_at_full_precision) {
    RunSettings s;
    s.input_file = std::string(ORVANE_EXAMPLES) + "/sphere_survey.dat";
    s.output_file = (folder_ / "result.dat").string();
    s.search_radius = 300.0;
    s.cell_size = 30.0;
    s.grid_radius = 300.0;
    s.tendency = Tendency::Linear4x4;
    s.threads = 0;
    RunState state;
    FakeMonitor monitor;
    ASSERT_EQ(run_calculation(s, state, monitor, nullptr), 0);
    const fs::path path = folder_ / "result.gpkg";
    ASSERT_EQ(write_station_layer(state, s.tendency, {StationFormat::GeoPackage, "", "result"}, path), "");

    std::ifstream rows(s.output_file);
    std::string line;
    std::getline(rows, line);
    std::getline(rows, line);
    const GdalFile file = open_vector(path.string());
    ASSERT_TRUE(file);
    OGRLayer* layer = file->GetLayer(0);
    ASSERT_EQ(layer->GetFeatureCount(), 1500);
    const int decimals[] = {3, 3, 0, 3, 6, 6, 6, 6, 6, 6, 6, 6, 6, 0};
    int finer = 0;
    for (int station = 0; station < 1500; ++station) {
        ASSERT_TRUE(std::getline(rows, line));
        std::istringstream tokens(line);
        std::unique_ptr<OGRFeature> feature(layer->GetNextFeature());
        ASSERT_TRUE(feature);
        for (int f = 0; f < 14; ++f) {
            std::string token;
            tokens >> token;
            const double value = feature->GetFieldAsDouble(f);
            char printed[64];
            std::snprintf(printed, sizeof printed, "%.*f", decimals[f], value);
            ASSERT_EQ(printed, token) << "station " << station << " field " << f;
            finer += std::stod(token) != value;
        }
    }
    EXPECT_GT(finer, 1500 * 7);  // the rows lose digits of nearly every quantity
}
