#include "engine/solvers/regularised_solver.h"

#include <cmath>
#include <type_traits>

#include "engine/solvers/elimination_kernel.h"

namespace {

// r = p * q for N x N matrices of row stride N; each entry summed over k from 0.0 in
// increasing k, as multiplyMatrices does.
template <int N>
void multiply(const double* p, const double* q, double* r) {
    for (int i = 0; i < N; ++i) {
        for (int j = 0; j < N; ++j) {
            double sum = 0.0;
            for (int k = 0; k < N; ++k) sum += p[i * N + k] * q[k * N + j];
            r[i * N + j] = sum;
        }
    }
}

// result = m * v, each entry summed over k from 0.0 in increasing k.
template <int N>
void multiply_vector(const double* m, const double* v, double* result) {
    for (int i = 0; i < N; ++i) {
        double sum = 0.0;
        for (int k = 0; k < N; ++k) sum += m[i * N + k] * v[k];
        result[i] = sum;
    }
}

// invertWithoutPivoting on compact N x N arrays: the same kernel, with the shape fixed
// at compile time; the identity starts in `inverse`.
template <int N>
bool invert(double* m, double* inverse) {
    for (int i = 0; i < N; ++i)
        for (int k = 0; k < N; ++k) inverse[i * N + k] = i == k ? 1.0 : 0.0;
    using Fixed = std::integral_constant<int, N>;
    return eliminateWithoutPivoting(m, Fixed{}, EliminatedRows<Fixed>{inverse, Fixed{}, Fixed{}},
                                    Fixed{});
}

template <int N>
bool solve_fixed(const double* transposed, const double* normal, const double* b, double alpha,
                 double* x) {
    // (identity * alpha) + A^T A, entry by entry as scaleMatrix and addMatrices form it:
    // off the diagonal 0 * alpha is added too, which matters for the sign of a zero.
    double m[N * N];
    for (int i = 0; i < N; ++i)
        for (int k = 0; k < N; ++k) m[i * N + k] = normal[i * N + k] + (i == k ? 1.0 : 0.0) * alpha;
    double inverse[N * N];
    if (!invert<N>(m, inverse)) return false;
    double gain[N * N];
    multiply<N>(inverse, transposed, gain);
    multiply_vector<N>(gain, b, x);
    return true;
}

template <int N>
void norms_fixed(const double* a, const double* b, const double* x, double& residual_norm,
                 double& solution_norm) {
    double fitted[N];
    multiply_vector<N>(a, x, fitted);
    double sum = 0.0;
    for (int i = 0; i < N; ++i) {
        const double r = fitted[i] - b[i];
        sum += r * r;
    }
    residual_norm = std::sqrt(sum);
    sum = 0.0;
    for (int i = 0; i < N; ++i) sum += x[i] * x[i];
    solution_norm = std::sqrt(sum);
}

}  // namespace

RegularisedSolver::RegularisedSolver(const SystemMatrix& a, int n) : n_(n) {
    for (int i = 0; i < n; ++i)
        for (int k = 0; k < n; ++k) {
            a_[i * n + k] = a[i * 10 + k];
            transposed_[i * n + k] = a[k * 10 + i];
        }
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) {
            double sum = 0.0;
            for (int k = 0; k < n; ++k) sum += transposed_[i * n + k] * a_[k * n + j];
            normal_[i * n + j] = sum;
        }
    }
}

bool RegularisedSolver::solve(const SystemVector& b, double alpha, SystemVector& x) const {
    switch (n_) {
        case 1: return solve_fixed<1>(transposed_, normal_, b, alpha, x);
        case 2: return solve_fixed<2>(transposed_, normal_, b, alpha, x);
        case 3: return solve_fixed<3>(transposed_, normal_, b, alpha, x);
        case 4: return solve_fixed<4>(transposed_, normal_, b, alpha, x);
        case 5: return solve_fixed<5>(transposed_, normal_, b, alpha, x);
        case 6: return solve_fixed<6>(transposed_, normal_, b, alpha, x);
        case 7: return solve_fixed<7>(transposed_, normal_, b, alpha, x);
        case 8: return solve_fixed<8>(transposed_, normal_, b, alpha, x);
        case 9: return solve_fixed<9>(transposed_, normal_, b, alpha, x);
        case 10: return solve_fixed<10>(transposed_, normal_, b, alpha, x);
    }
    return false;
}

void RegularisedSolver::norms(const SystemVector& b, const SystemVector& x,
                              double& residual_norm, double& solution_norm) const {
    switch (n_) {
        case 1: return norms_fixed<1>(a_, b, x, residual_norm, solution_norm);
        case 2: return norms_fixed<2>(a_, b, x, residual_norm, solution_norm);
        case 3: return norms_fixed<3>(a_, b, x, residual_norm, solution_norm);
        case 4: return norms_fixed<4>(a_, b, x, residual_norm, solution_norm);
        case 5: return norms_fixed<5>(a_, b, x, residual_norm, solution_norm);
        case 6: return norms_fixed<6>(a_, b, x, residual_norm, solution_norm);
        case 7: return norms_fixed<7>(a_, b, x, residual_norm, solution_norm);
        case 8: return norms_fixed<8>(a_, b, x, residual_norm, solution_norm);
        case 9: return norms_fixed<9>(a_, b, x, residual_norm, solution_norm);
        case 10: return norms_fixed<10>(a_, b, x, residual_norm, solution_norm);
    }
}

void RegularisedSolver::solve_each(const SystemVector& b, const double* alphas,
                                   std::size_t count, AlphaSolution* out,
                                   InstructionSet set) const {
    const RegularisedSystem system{n_, normal_, transposed_, a_};
    switch (set) {
        case InstructionSet::Sse2: return solve_alphas_sse2(system, b, alphas, count, out);
        case InstructionSet::Avx2: return solve_alphas_avx2(system, b, alphas, count, out);
        case InstructionSet::Avx512: return solve_alphas_avx512(system, b, alphas, count, out);
        case InstructionSet::Scalar: break;
    }
    for (std::size_t j = 0; j < count; ++j) {
        AlphaSolution& o = out[j];
        o = AlphaSolution{};
        o.solved = solve(b, alphas[j], o.x);
        if (o.solved) norms(b, o.x, o.residual_norm, o.solution_norm);
    }
}
