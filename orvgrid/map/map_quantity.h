#pragma once
// The quantities a map window can show for the data of one trend model: where each is
// kept in the WorkPoint and in which unit the engine leaves it.

#include <string>
#include <vector>

#include "engine/engine.h"

// No unit conversion happens anywhere: coordinates and heights are metres, anomalies
// milligal, and a coefficient carries milligal per metre for each coordinate its term
// multiplies. TILT is the engine's atan, in radians.
enum class QuantityUnit {
    None,  // a list entry the trend model does not define
    Metre,
    MilliGal,
    MilliGalPerMetre,
    MilliGalPerSquareMetre,
    Radian
};

struct MapQuantity {
    std::string name;  // as the preview lists name it: "HGGA", "COEFF_3", ...
    int position = 0;  // WorkPoint position
    QuantityUnit unit = QuantityUnit::MilliGal;
};

// HEIGHT and CBA, then what the run stores for `tendency`, in the order of the result
// row: for Linear3x3 (and the NTE/FAY model, stored alike) HGGAX, HGGAY, HGGA, VGGA,
// ASIG, TILT; Linear4x4 adds RGA and LGA; Linear6x6 has COEFF_0..5 and TILT;
// Quadratic10x10 COEFF_0..9.
std::vector<MapQuantity> map_quantities(Tendency tendency);

// The entry of `quantities` kept at `position`, or -1.
int quantity_at_position(const std::vector<MapQuantity>& quantities, int position);

// "", "m", "mGal", "mGal/m", "mGal/m²" (UTF-8), "rad"; "°" for radians shown in degrees.
std::string unit_text(QuantityUnit unit, bool radians_in_degrees = false);
