#pragma once
#include "engine/engine.h"
#include "engine/fit/trend_model.h"

struct PointQuantities {
    double HGGAX = 0, HGGAY = 0, HGGA = 0, VGGA = 0, RGA = 0, LGA = 0, ASIG = 0, TILT = 0;
};

// Quantities from the coefficients c of a successful fit; u0 is the working anomaly.
PointQuantities deriveQuantities(Tendency tendency, const double* c, double u0);
// Only RGA and LGA of those (the others 0): all that a pass before the last stores.
PointQuantities deriveRegional(Tendency tendency, const double* c, double u0);

// The value of one quantity of a point: a derived one from q, a coefficient from c;
// 0 for Zero (and Unwritten).
double quantity_value(Quantity quantity, const double* c, const PointQuantities& q);

// Writes the WorkPoint result positions of the last pass or of an earlier pass.
void storeQuantities(Tendency tendency, bool last_pass, const double* c,
                     const PointQuantities& q, WorkPoint& point);
