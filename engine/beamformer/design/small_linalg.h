// Just enough dense linear algebra for the beamformer design: matrices of a
// few dozen rows, real or complex, solved by Cholesky factorisation and, for
// small symmetric problems, diagonalised by Jacobi rotations.
#pragma once

#include <cmath>
#include <complex>
#include <cstddef>
#include <stdexcept>
#include <type_traits>
#include <vector>

namespace orvelan::design {

template <typename T>
class Matrix {
public:
    Matrix() = default;
    Matrix(std::size_t rows, std::size_t cols) : rows_(rows), cols_(cols), data_(rows * cols, T{}) {}

    std::size_t rows() const { return rows_; }
    std::size_t cols() const { return cols_; }
    T& operator()(std::size_t r, std::size_t c) { return data_[r * cols_ + c]; }
    const T& operator()(std::size_t r, std::size_t c) const { return data_[r * cols_ + c]; }

    static Matrix identity(std::size_t n)
    {
        Matrix m(n, n);
        for (std::size_t i = 0; i < n; ++i) m(i, i) = T(1);
        return m;
    }

private:
    std::size_t rows_ = 0;
    std::size_t cols_ = 0;
    std::vector<T> data_;
};

template <typename T>
T conjugateOf(const T& v)
{
    if constexpr (std::is_arithmetic_v<T>) {
        return v;
    } else {
        return std::conj(v);
    }
}

// Conjugate transpose (plain transpose for real matrices).
template <typename T>
Matrix<T> adjoint(const Matrix<T>& a)
{
    Matrix<T> t(a.cols(), a.rows());
    for (std::size_t r = 0; r < a.rows(); ++r)
        for (std::size_t c = 0; c < a.cols(); ++c) t(c, r) = conjugateOf(a(r, c));
    return t;
}

template <typename T>
Matrix<T> operator*(const Matrix<T>& a, const Matrix<T>& b)
{
    if (a.cols() != b.rows()) throw std::invalid_argument("matrix product: shapes differ");
    Matrix<T> p(a.rows(), b.cols());
    for (std::size_t r = 0; r < a.rows(); ++r)
        for (std::size_t k = 0; k < a.cols(); ++k) {
            const T v = a(r, k);
            for (std::size_t c = 0; c < b.cols(); ++c) p(r, c) += v * b(k, c);
        }
    return p;
}

// The lower-triangular L with A = L L^H, for Hermitian positive definite A.
template <typename T>
Matrix<T> choleskyFactor(const Matrix<T>& a)
{
    const std::size_t n = a.rows();
    if (a.cols() != n) throw std::invalid_argument("choleskyFactor: matrix not square");
    Matrix<T> l(n, n);
    for (std::size_t j = 0; j < n; ++j) {
        double diag = std::real(a(j, j));
        for (std::size_t k = 0; k < j; ++k) diag -= std::norm(l(j, k));
        if (!(diag > 0.0)) throw std::runtime_error("choleskyFactor: matrix not positive definite");
        const double root = std::sqrt(diag);
        l(j, j) = T(root);
        for (std::size_t i = j + 1; i < n; ++i) {
            T sum = a(i, j);
            for (std::size_t k = 0; k < j; ++k) sum -= l(i, k) * conjugateOf(l(j, k));
            l(i, j) = sum / root;
        }
    }
    return l;
}

// Solves L Y = B for lower-triangular L (forward substitution).
template <typename T>
Matrix<T> solveLower(const Matrix<T>& l, Matrix<T> b)
{
    if (l.cols() != l.rows() || b.rows() != l.rows()) throw std::invalid_argument("solveLower: shapes differ");
    for (std::size_t c = 0; c < b.cols(); ++c)
        for (std::size_t i = 0; i < l.rows(); ++i) {
            T sum = b(i, c);
            for (std::size_t k = 0; k < i; ++k) sum -= l(i, k) * b(k, c);
            b(i, c) = sum / l(i, i);
        }
    return b;
}

// Solves L^H X = Y for lower-triangular L (backward substitution).
template <typename T>
Matrix<T> solveLowerAdjoint(const Matrix<T>& l, Matrix<T> y)
{
    const std::size_t n = l.rows();
    if (l.cols() != n || y.rows() != n) throw std::invalid_argument("solveLowerAdjoint: shapes differ");
    for (std::size_t c = 0; c < y.cols(); ++c)
        for (std::size_t i = n; i-- > 0;) {
            T sum = y(i, c);
            for (std::size_t k = i + 1; k < n; ++k) sum -= conjugateOf(l(k, i)) * y(k, c);
            y(i, c) = sum / l(i, i);
        }
    return y;
}

// Solves A X = B for Hermitian positive definite A (Cholesky, A = L L^H).
template <typename T>
Matrix<T> choleskySolve(const Matrix<T>& a, const Matrix<T>& b)
{
    if (a.cols() != a.rows() || b.rows() != a.rows()) throw std::invalid_argument("choleskySolve: shapes differ");
    const Matrix<T> l = choleskyFactor(a);
    return solveLowerAdjoint(l, solveLower(l, b));
}

struct SymmetricEigen {
    std::vector<double> values;  // ascending
    Matrix<double> vectors;      // column j belongs to values[j]
};

// Eigen-decomposition of a small real symmetric matrix by cyclic Jacobi sweeps.
inline SymmetricEigen symmetricEigen(Matrix<double> a)
{
    const std::size_t n = a.rows();
    Matrix<double> v = Matrix<double>::identity(n);
    for (int sweep = 0; sweep < 100; ++sweep) {
        double off = 0.0;
        for (std::size_t p = 0; p < n; ++p)
            for (std::size_t q = p + 1; q < n; ++q) off += a(p, q) * a(p, q);
        if (off < 1e-30) break;
        for (std::size_t p = 0; p < n; ++p)
            for (std::size_t q = p + 1; q < n; ++q) {
                if (std::abs(a(p, q)) < 1e-300) continue;
                const double theta = (a(q, q) - a(p, p)) / (2.0 * a(p, q));
                const double t = (theta >= 0 ? 1.0 : -1.0) / (std::abs(theta) + std::sqrt(theta * theta + 1.0));
                const double c = 1.0 / std::sqrt(t * t + 1.0);
                const double s = t * c;
                for (std::size_t k = 0; k < n; ++k) {  // A <- A J
                    const double akp = a(k, p), akq = a(k, q);
                    a(k, p) = c * akp - s * akq;
                    a(k, q) = s * akp + c * akq;
                }
                for (std::size_t k = 0; k < n; ++k) {  // A <- J^T A
                    const double apk = a(p, k), aqk = a(q, k);
                    a(p, k) = c * apk - s * aqk;
                    a(q, k) = s * apk + c * aqk;
                }
                for (std::size_t k = 0; k < n; ++k) {
                    const double vkp = v(k, p), vkq = v(k, q);
                    v(k, p) = c * vkp - s * vkq;
                    v(k, q) = s * vkp + c * vkq;
                }
            }
    }
    SymmetricEigen result;
    std::vector<std::size_t> order(n);
    for (std::size_t i = 0; i < n; ++i) order[i] = i;
    for (std::size_t i = 0; i < n; ++i)  // selection sort: n is tiny
        for (std::size_t j = i + 1; j < n; ++j)
            if (a(order[j], order[j]) < a(order[i], order[i])) std::swap(order[i], order[j]);
    result.vectors = Matrix<double>(n, n);
    for (std::size_t j = 0; j < n; ++j) {
        result.values.push_back(a(order[j], order[j]));
        for (std::size_t k = 0; k < n; ++k) result.vectors(k, j) = v(k, order[j]);
    }
    return result;
}

}  // namespace orvelan::design
