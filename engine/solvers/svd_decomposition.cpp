#include "engine/solvers/svd_decomposition.h"

#include <cmath>

#include "engine/solvers/matrix_ops.h"
#include "engine/solvers/solver_notes.h"

double hypotenuse(double a, double b) {
    const double abs_a = std::fabs(a);
    const double abs_b = std::fabs(b);
    if (abs_a > abs_b) {
        const double ratio = abs_b / abs_a;
        return abs_a * std::sqrt(1.0 + ratio * ratio);
    }
    if (abs_b == 0.0) return 0.0;
    const double ratio = abs_a / abs_b;
    return abs_b * std::sqrt(1.0 + ratio * ratio);
}

double signOf(double a, double b) { return b >= 0.0 ? std::fabs(a) : -std::fabs(a); }

namespace {

// x is negligible beside anorm. The sum is kept in 80-bit extended precision and compared
// without rounding to double first: stored results were computed that way, and the
// extra bits decide some splits.
bool negligible(double x, double anorm) {
    return static_cast<long double>(std::fabs(x)) + static_cast<long double>(anorm) ==
           static_cast<long double>(anorm);
}

// Applies the rotation (c, s) to columns p and q of the leading n rows of m.
void rotateColumns(SystemMatrix& m, int n, int p, int q, double c, double s) {
    for (int r = 0; r < n; ++r) {
        const double y = entry(m, r, p);
        const double z = entry(m, r, q);
        entry(m, r, p) = y * c + z * s;
        entry(m, r, q) = z * c - y * s;
    }
}

// Householder reduction of a to bidiagonal form: diagonal into w, superdiagonal into
// rv1 (rv1[0] = 0). Returns anorm, the largest |w[i]| + |rv1[i]|.
double bidiagonalise(SystemMatrix& a, SystemVector& w, SystemVector& rv1, int n) {
    const int m = n;
    double g = 0.0, scale = 0.0, anorm = 0.0;
    for (int i = 0; i < n; ++i) {
        const int l = i + 1;
        rv1[i] = scale * g;
        g = 0.0;
        double s = 0.0;
        scale = 0.0;
        // Column reflection (always applies, as m = n).
        for (int k = i; k < m; ++k) scale += std::fabs(entry(a, k, i));
        if (scale != 0.0) {
            for (int k = i; k < m; ++k) {
                entry(a, k, i) /= scale;
                s += entry(a, k, i) * entry(a, k, i);
            }
            double f = entry(a, i, i);
            g = -signOf(std::sqrt(s), f);
            const double h = f * g - s;
            entry(a, i, i) = f - g;
            for (int j = l; j < n; ++j) {
                s = 0.0;
                for (int k = i; k < m; ++k) s += entry(a, k, i) * entry(a, k, j);
                f = s / h;
                for (int k = i; k < m; ++k) entry(a, k, j) += f * entry(a, k, i);
            }
            for (int k = i; k < m; ++k) entry(a, k, i) *= scale;
        }
        w[i] = scale * g;
        g = 0.0;
        s = 0.0;
        scale = 0.0;
        // Row reflection, for every row but the last.
        if (i != n - 1) {
            for (int k = l; k < n; ++k) scale += std::fabs(entry(a, i, k));
            if (scale != 0.0) {
                for (int k = l; k < n; ++k) {
                    entry(a, i, k) /= scale;
                    s += entry(a, i, k) * entry(a, i, k);
                }
                const double f = entry(a, i, l);
                g = -signOf(std::sqrt(s), f);
                const double h = f * g - s;
                entry(a, i, l) = f - g;
                for (int k = l; k < n; ++k) rv1[k] = entry(a, i, k) / h;
                for (int j = l; j < m; ++j) {
                    s = 0.0;
                    for (int k = l; k < n; ++k) s += entry(a, j, k) * entry(a, i, k);
                    for (int k = l; k < n; ++k) entry(a, j, k) += s * rv1[k];
                }
                for (int k = l; k < n; ++k) entry(a, i, k) *= scale;
            }
        }
        const double size = std::fabs(w[i]) + std::fabs(rv1[i]);
        anorm = anorm > size ? anorm : size;
    }
    return anorm;
}

// Accumulates the right-hand transformations into v, from the last row up.
void accumulateRight(const SystemMatrix& a, const SystemVector& rv1, SystemMatrix& v, int n) {
    double g = 0.0;
    int l = n;
    for (int i = n - 1; i >= 0; --i) {
        if (i < n - 1) {
            if (g != 0.0) {
                // Double division on purpose: it avoids a possible underflow.
                for (int j = l; j < n; ++j) entry(v, j, i) = (entry(a, i, j) / entry(a, i, l)) / g;
                for (int j = l; j < n; ++j) {
                    double s = 0.0;
                    for (int k = l; k < n; ++k) s += entry(a, i, k) * entry(v, k, j);
                    for (int k = l; k < n; ++k) entry(v, k, j) += s * entry(v, k, i);
                }
            }
            for (int j = l; j < n; ++j) {
                entry(v, i, j) = 0.0;
                entry(v, j, i) = 0.0;
            }
        }
        entry(v, i, i) = 1.0;
        g = rv1[i];
        l = i;
    }
}

// Accumulates the left-hand transformations in place, turning a into U.
void accumulateLeft(SystemMatrix& a, const SystemVector& w, int n) {
    const int m = n;
    for (int i = n - 1; i >= 0; --i) {
        const int l = i + 1;
        double g = w[i];
        for (int j = l; j < n; ++j) entry(a, i, j) = 0.0;
        if (g != 0.0) {
            g = 1.0 / g;
            for (int j = l; j < n; ++j) {
                double s = 0.0;
                for (int k = l; k < m; ++k) s += entry(a, k, i) * entry(a, k, j);
                const double f = (s / entry(a, i, i)) * g;
                for (int k = i; k < m; ++k) entry(a, k, j) += f * entry(a, k, i);
            }
            for (int j = i; j < m; ++j) entry(a, j, i) *= g;
        } else {
            for (int j = i; j < m; ++j) entry(a, j, i) = 0.0;
        }
        entry(a, i, i) += 1.0;
    }
}

}  // namespace

// The Golub-Reinsch decomposition on 0-based arrays with as many rows as columns. The
// order of every operation is kept as the classic algorithm has it: results are compared
// digit for digit with runs computed that way.
bool decomposeSvd(SystemMatrix& a, SystemVector& w, SystemMatrix& v, int n, SolverNotes& notes) {
    const int m = n;
    SystemVector rv1 = {};
    const double anorm = bidiagonalise(a, w, rv1, n);
    accumulateRight(a, rv1, v, n);
    accumulateLeft(a, w, n);

    for (int k = n - 1; k >= 0; --k) {
        for (int its = 0;; ++its) {
            // Splitting: find the top l of the unreduced block ending at k. rv1[0] is 0,
            // so l = 0 always stops the search; it is not tested, so that a NaN anorm
            // cannot send it to w[-1].
            bool cancel = false;
            int l = k;
            for (; l > 0; --l) {
                if (negligible(rv1[l], anorm)) break;
                if (negligible(w[l - 1], anorm)) {
                    cancel = true;
                    break;
                }
            }
            if (cancel) {
                const int nm = l - 1;
                double c = 0.0, s = 1.0;
                for (int i = l; i <= k; ++i) {
                    const double f = s * rv1[i];
                    rv1[i] = c * rv1[i];
                    if (negligible(f, anorm)) break;
                    const double g = w[i];
                    double h = hypotenuse(f, g);
                    w[i] = h;
                    h = 1.0 / h;
                    c = g * h;
                    s = -f * h;
                    rotateColumns(a, m, nm, i, c, s);
                }
            }
            double z = w[k];
            if (l == k) {
                if (z < 0.0) {
                    w[k] = -z;
                    for (int j = 0; j < n; ++j) entry(v, j, k) = -entry(v, j, k);
                }
                break;
            }
            if (its == 29) {
                notes.messages.push_back(SVD_NO_CONVERGENCE);
                return false;
            }
            // Shift from the bottom 2 x 2 minor.
            double x = w[l];
            const int nm = k - 1;
            double y = w[nm];
            double g = rv1[nm];
            double h = rv1[k];
            double f = ((y - z) * (y + z) + (g - h) * (g + h)) / (2.0 * h * y);
            g = hypotenuse(f, 1.0);
            f = ((x - z) * (x + z) + h * ((y / (f + signOf(g, f))) - h)) / x;
            // One QR sweep chasing the bulge down the bidiagonal.
            double c = 1.0, s = 1.0;
            for (int j = l; j <= nm; ++j) {
                const int i = j + 1;
                g = rv1[i];
                y = w[i];
                h = s * g;
                g = c * g;
                z = hypotenuse(f, h);
                rv1[j] = z;
                c = f / z;
                s = h / z;
                f = x * c + g * s;
                g = g * c - x * s;
                h = y * s;
                y *= c;
                rotateColumns(v, n, j, i, c, s);
                z = hypotenuse(f, h);
                w[j] = z;
                if (z != 0.0) {
                    z = 1.0 / z;
                    c = f * z;
                    s = h * z;
                }
                f = c * g + s * y;
                x = c * y - s * g;
                rotateColumns(a, m, j, i, c, s);
            }
            rv1[l] = 0.0;
            rv1[k] = f;
            w[k] = x;
        }
    }
    return true;
}
