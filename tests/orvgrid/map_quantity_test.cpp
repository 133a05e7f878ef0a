#include "orvgrid/map/map_quantity.h"

#include <gtest/gtest.h>

#include <utility>

#include "orvgrid/preview_vars.h"

TEST(map_quantity, lists_every_preview_entry_at_its_position_with_its_unit) {
    // Each entry the preview lists show for a model is on the map's list at the same
    // position and under the same name.
    const std::vector<std::pair<Tendency, std::vector<std::string>>> lists = {
        {Tendency::Linear3x3, {"HGGAX", "HGGAY", "HGGA", "VGGA", "ASIG", "TILT"}},
        {Tendency::Linear4x4, {"HGGAX", "HGGAY", "HGGA", "VGGA", "RGA", "LGA", "ASIG", "TILT"}},
        {Tendency::Linear6x6, {"COEFF_0", "COEFF_1", "COEFF_2", "COEFF_3", "COEFF_4", "COEFF_5"}},
        {Tendency::Quadratic10x10,
         {"COEFF_0", "COEFF_1", "COEFF_2", "COEFF_3", "COEFF_4", "COEFF_5", "COEFF_6", "COEFF_7",
          "COEFF_8", "COEFF_9"}},
    };
    for (const auto& [tendency, entries] : lists) {
        const std::vector<MapQuantity> q = map_quantities(tendency);
        EXPECT_EQ(q[quantity_at_position(q, first_list_position(0))].name, "HEIGHT");
        EXPECT_EQ(q[quantity_at_position(q, first_list_position(1))].name, "CBA");
        for (std::size_t i = 0; i < entries.size(); ++i) {
            const int at =
                quantity_at_position(q, result_list_position(static_cast<int>(i), tendency));
            ASSERT_GE(at, 0) << entries[i];
            EXPECT_EQ(q[static_cast<std::size_t>(at)].name, entries[i]);
        }
    }
    const std::vector<MapQuantity> q = map_quantities(Tendency::Linear4x4);
    const auto unit_of = [&](int position) {
        return unit_text(q[static_cast<std::size_t>(quantity_at_position(q, position))].unit);
    };
    EXPECT_EQ(unit_of(2), "m");
    EXPECT_EQ(unit_of(3), "mGal");
    EXPECT_EQ(unit_of(7), "mGal/m");
    EXPECT_EQ(unit_of(9), "mGal");
    EXPECT_EQ(unit_of(11), "mGal/m");
    EXPECT_EQ(unit_of(12), "rad");
    EXPECT_EQ(unit_text(QuantityUnit::Radian, true), "\u00b0");
    EXPECT_EQ(quantity_at_position(q, 13), -1);
}
