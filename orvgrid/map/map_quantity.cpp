#include "orvgrid/map/map_quantity.h"

namespace {

using U = QuantityUnit;

std::vector<MapQuantity> planar(bool with_regional) {
    std::vector<MapQuantity> q = {{"HGGAX", 5, U::MilliGalPerMetre},
                                  {"HGGAY", 6, U::MilliGalPerMetre},
                                  {"HGGA", 7, U::MilliGalPerMetre},
                                  {"VGGA", 8, U::MilliGalPerMetre}};
    if (with_regional) {
        q.push_back({"RGA", 9, U::MilliGal});
        q.push_back({"LGA", 10, U::MilliGal});
    }
    q.push_back({"ASIG", 11, U::MilliGalPerMetre});
    q.push_back({"TILT", 12, U::Radian});
    return q;
}

// Coefficient i multiplies terms[i]: its unit is milligal per metre for each factor.
std::vector<MapQuantity> coefficients(const std::vector<U>& units) {
    std::vector<MapQuantity> q;
    for (std::size_t i = 0; i < units.size(); ++i)
        q.push_back({"COEFF_" + std::to_string(i), 5 + static_cast<int>(i), units[i]});
    return q;
}

}  // namespace

std::vector<MapQuantity> map_quantities(Tendency tendency) {
    std::vector<MapQuantity> list = {{"HEIGHT", work::height, U::Metre},
                                     {"CBA", work::cba, U::MilliGal}};
    std::vector<MapQuantity> results;
    switch (tendency) {
        case Tendency::Linear3x3:
        case Tendency::Linear3x3NteFay:
            results = planar(false);
            break;
        case Tendency::Linear4x4:
            results = planar(true);
            break;
        case Tendency::Linear6x6:
            // Terms x, y, x z, y z, z, 1.
            results =
                coefficients({U::MilliGalPerMetre, U::MilliGalPerMetre, U::MilliGalPerSquareMetre,
                              U::MilliGalPerSquareMetre, U::MilliGalPerMetre, U::MilliGal});
            results.push_back({"TILT", 12, U::Radian});
            break;
        case Tendency::Quadratic10x10:
            // Terms x, y, z, x², y², z², x y, x z, y z, 1.
            results =
                coefficients({U::MilliGalPerMetre, U::MilliGalPerMetre, U::MilliGalPerMetre,
                              U::MilliGalPerSquareMetre, U::MilliGalPerSquareMetre,
                              U::MilliGalPerSquareMetre, U::MilliGalPerSquareMetre,
                              U::MilliGalPerSquareMetre, U::MilliGalPerSquareMetre, U::MilliGal});
            break;
    }
    list.insert(list.end(), results.begin(), results.end());
    return list;
}

int quantity_at_position(const std::vector<MapQuantity>& quantities, int position) {
    for (std::size_t i = 0; i < quantities.size(); ++i)
        if (quantities[i].position == position) return static_cast<int>(i);
    return -1;
}

std::string unit_text(QuantityUnit unit, bool radians_in_degrees) {
    switch (unit) {
        case U::None:
            return "";
        case U::Metre:
            return "m";
        case U::MilliGal:
            return "mGal";
        case U::MilliGalPerMetre:
            return "mGal/m";
        case U::MilliGalPerSquareMetre:
            return "mGal/m\u00b2";
        case U::Radian:
            return radians_in_degrees ? "\u00b0" : "rad";
    }
    return "";
}
