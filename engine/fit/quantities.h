#pragma once
#include "engine/engine.h"

struct PointQuantities {
    double HGGAX = 0, HGGAY = 0, HGGA = 0, VGGA = 0, RGA = 0, LGA = 0, ASIG = 0, TILT = 0;
};

// Quantities from the coefficients c of a successful fit; u0 is the working anomaly.
PointQuantities deriveQuantities(Tendency tendency, const double* c, double u0);

// Writes the WorkPoint result positions of the last pass or of an earlier pass.
void storeQuantities(Tendency tendency, bool last_pass, const double* c,
                     const PointQuantities& q, WorkPoint& point);
