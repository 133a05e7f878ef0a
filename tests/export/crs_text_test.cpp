#include "export/crs_text.h"

#include <gtest/gtest.h>

#include <string>

// Every kind of coordinate system a survey may be given in is accepted, and the WKT the
// export writes is itself accepted, so a file's system can be read back.
TEST(crs_text, coordinate_systems_are_accepted_and_their_wkt_reads_back) {
    const std::string systems[] = {
        "EPSG:32633",                       // projected
        "EPSG:4326",                        // geographic
        "EPSG:4978",                        // geocentric
        "EPSG:5773",                        // vertical
        "EPSG:4326+5773",                   // compound
        "+proj=utm +zone=33 +datum=WGS84",  // a PROJ string
        "LOCAL_CS[\"site grid\",UNIT[\"metre\",1],AXIS[\"N\",NORTH],AXIS[\"E\",EAST]]",
    };
    for (const std::string& text : systems) {
        SCOPED_TRACE(text);
        const CrsCheck check = check_crs(text);
        EXPECT_EQ(check.error, "");
        ASSERT_NE(check.wkt, "");
        const CrsCheck again = check_crs(check.wkt);
        EXPECT_EQ(again.error, "");
        EXPECT_NE(again.wkt, "");
    }
}

// GDAL reads these as coordinate operations: refused, since an operation cannot
// georeference a file (the last, found by fuzzing, even gave WKT that does not read
// back). Blank text means no system.
TEST(crs_text, operations_are_refused_and_blank_text_means_none) {
    for (const std::string text : {"+proj=axisswap +order=2,1", "EPSG:4326 +proj=utm +zone=33",
                                   "+proj=utm [+#", "EPSG:4926 proj=utm  [+#"}) {
        SCOPED_TRACE(text);
        const CrsCheck check = check_crs(text);
        EXPECT_EQ(check.wkt, "");
        EXPECT_EQ(check.error.rfind("Unknown coordinate system '" + text + "'", 0), 0u)
            << check.error;
    }
    const CrsCheck none = check_crs(" \t\n");
    EXPECT_EQ(none.wkt, "");
    EXPECT_EQ(none.error, "");
}
