#include "engine/fit/quantities.h"

#include <cmath>

namespace {

// atan of the one-argument form keeps TILT within -pi/2..pi/2. A vanishing horizontal
// gradient gives +-pi/2 through IEEE division; when both gradients vanish the angle is
// undefined and 0 is written, so that every row stays a number a later load can read.
double tilt_of(double vgga, double hgga) {
    if (hgga == 0.0 && vgga == 0.0) return 0.0;
    return std::atan(vgga / hgga);
}

void derive_planar(const double* c, PointQuantities& q) {
    q.HGGAX = c[0];
    q.HGGAY = c[1];
    q.HGGA = std::hypot(c[0], c[1]);
    q.VGGA = c[2];
    q.ASIG = std::sqrt(q.HGGA * q.HGGA + q.VGGA * q.VGGA);
    q.TILT = tilt_of(q.VGGA, q.HGGA);
}

}  // namespace

PointQuantities deriveQuantities(Tendency tendency, const double* c, double u0) {
    PointQuantities q;
    switch (tendency) {
        case Tendency::Linear3x3:
        case Tendency::Linear3x3NteFay:
            derive_planar(c, q);
            break;
        case Tendency::Linear4x4:
            derive_planar(c, q);
            q.RGA = c[3];
            q.LGA = u0 - q.RGA;
            break;
        case Tendency::Linear6x6:
            q.HGGA = std::hypot(c[0], c[1]);
            q.VGGA = std::sqrt(c[2] * c[2] + c[3] * c[3] + c[4] * c[4]);
            q.TILT = tilt_of(q.VGGA, q.HGGA);
            q.RGA = c[5];
            q.LGA = u0 - c[5];
            break;
        case Tendency::Quadratic10x10:
            q.RGA = c[9];
            q.LGA = u0 - c[9];
            break;
    }
    return q;
}

void storeQuantities(Tendency tendency, bool last_pass, const double* c,
                     const PointQuantities& q, WorkPoint& point) {
    double* v = point.value;
    if (!last_pass) {
        // Earlier passes keep only what the correction of the next pass reads.
        switch (tendency) {
            case Tendency::Linear4x4:
            case Tendency::Linear6x6:
                v[9] = q.RGA;
                v[10] = q.LGA;
                break;
            case Tendency::Quadratic10x10:
                v[11] = q.RGA;
                v[12] = q.LGA;
                break;
            case Tendency::Linear3x3:
            case Tendency::Linear3x3NteFay:
                break;
        }
        return;
    }
    switch (tendency) {
        case Tendency::Linear3x3:
        case Tendency::Linear3x3NteFay:
            v[5] = q.HGGAX;
            v[6] = q.HGGAY;
            v[7] = q.HGGA;
            v[8] = q.VGGA;
            v[9] = 0.0;
            v[10] = 0.0;
            v[11] = q.ASIG;
            v[12] = q.TILT;
            break;
        case Tendency::Linear4x4:
            v[5] = q.HGGAX;
            v[6] = q.HGGAY;
            v[7] = q.HGGA;
            v[8] = q.VGGA;
            v[9] = q.RGA;
            v[10] = q.LGA;
            v[11] = q.ASIG;
            v[12] = q.TILT;
            break;
        case Tendency::Linear6x6:
            for (int i = 0; i < 6; ++i) v[5 + i] = c[i];
            v[11] = 0.0;
            v[12] = q.TILT;
            break;
        case Tendency::Quadratic10x10:
            for (int i = 0; i < 10; ++i) v[5 + i] = c[i];
            break;
    }
}
