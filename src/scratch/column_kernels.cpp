#include "scratch/column_kernels.h"

#include <cmath>
#include <cstring>
#include <new>
#include <stdexcept>
#include <vector>

#include "model/errors.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quenta::kernels {

namespace {

// One link of a chain: the double sum of an exact product and the running float, rounded to float.
inline double link(double product, double sum) { return static_cast<double>(static_cast<float>(product + sum)); }

inline float largest_positive(float m) { return m > 0.0f ? m : 0.0f; }

#if defined(__SSE2__)

inline float horizontal_max(__m128 v)
{
    alignas(16) float lanes[4];
    _mm_store_ps(lanes, v);
    float m = 0.0f;
    for (float x : lanes)
        if (x > m)
            m = x;
    return m;
}

// bad is the lane-wise sum of x - x over every stored x: +0 while all were finite, NaN otherwise.
inline bool all_finite(__m128 bad) { return _mm_movemask_ps(_mm_cmpord_ps(bad, bad)) == 0xF; }

// The vector part of update_impl: the leading multiple of four elements, four at a time. Returns
// how many elements it did; finite, m and acc carry on into the scalar part.
template <bool WithNext>
inline std::size_t update_vector(const float* in, float* out, const float* a, float s, const float* next,
                                 std::size_t n, bool& finite, float& m, double& acc)
{
    const __m128d sv = _mm_set1_pd(static_cast<double>(s));
    __m128 mx = _mm_setzero_ps();
    __m128 bad = _mm_setzero_ps();
    double c = acc;  // a local, so the serial chain stays in a register
    std::size_t k = 0;
    for (; k + 4 <= n; k += 4) {
        const __m128 a4 = _mm_loadu_ps(a + k);
        const __m128 r4 = _mm_loadu_ps(in + k);
        const __m128d nlo = _mm_add_pd(_mm_mul_pd(sv, _mm_cvtps_pd(a4)), _mm_cvtps_pd(r4));
        const __m128d nhi = _mm_add_pd(_mm_mul_pd(sv, _mm_cvtps_pd(_mm_movehl_ps(a4, a4))),
                                       _mm_cvtps_pd(_mm_movehl_ps(r4, r4)));
        const __m128 o = _mm_movelh_ps(_mm_cvtpd_ps(nlo), _mm_cvtpd_ps(nhi));
        _mm_storeu_ps(out + k, o);
        mx = _mm_max_ps(mx, o);
        bad = _mm_add_ps(bad, _mm_sub_ps(o, o));
        if constexpr (WithNext) {
            // The products of the next column's chain, exact in double; the chain itself stays
            // serial and in order.
            const __m128 b4 = _mm_loadu_ps(next + k);
            alignas(16) double p[4];
            _mm_store_pd(p, _mm_mul_pd(_mm_cvtps_pd(o), _mm_cvtps_pd(b4)));
            _mm_store_pd(p + 2, _mm_mul_pd(_mm_cvtps_pd(_mm_movehl_ps(o, o)),
                                           _mm_cvtps_pd(_mm_movehl_ps(b4, b4))));
            c = link(p[0], c);
            c = link(p[1], c);
            c = link(p[2], c);
            c = link(p[3], c);
        }
    }
    acc = c;
    finite = all_finite(bad);
    m = horizontal_max(mx);
    return k;
}

#endif

template <bool WithNext>
bool update_impl(const float* in, float* out, const float* a, float s, const float* next, std::size_t n,
                 float& er, float& snext)
{
    bool finite = true;
    float m = 0.0f;
    double acc = 0.0;
    std::size_t k = 0;
#if defined(__SSE2__)
    k = update_vector<WithNext>(in, out, a, s, next, n, finite, m, acc);
#endif
    for (; k < n; ++k) {
        const float o = static_cast<float>(static_cast<double>(s) * static_cast<double>(a[k]) +
                                           static_cast<double>(in[k]));
        out[k] = o;
        if (!std::isfinite(o))
            finite = false;
        if (o > m)
            m = o;
        if constexpr (WithNext)
            acc = link(static_cast<double>(o) * static_cast<double>(next[k]), acc);
    }
    er = largest_positive(m);
    if constexpr (WithNext)
        snext = static_cast<float>(acc);
    return finite;
}

} // namespace

float dot_chain(const float* r, const float* a, std::size_t n, float init)
{
    double acc = static_cast<double>(init);
    for (std::size_t k = 0; k < n; ++k)
        acc = link(static_cast<double>(r[k]) * static_cast<double>(a[k]), acc);
    return static_cast<float>(acc);
}

float square_chain(const float* a, std::size_t n)
{
    double acc = 0.0;
    for (std::size_t k = 0; k < n; ++k) {
        const double v = static_cast<double>(a[k]);
        acc = link(v * v, acc);
    }
    return static_cast<float>(acc);
}

void square_chain4(const float* a0, const float* a1, const float* a2, const float* a3, std::size_t n,
                   float out[4])
{
    double c0 = 0.0, c1 = 0.0, c2 = 0.0, c3 = 0.0;
    for (std::size_t k = 0; k < n; ++k) {
        const double v0 = a0[k], v1 = a1[k], v2 = a2[k], v3 = a3[k];
        c0 = link(v0 * v0, c0);
        c1 = link(v1 * v1, c1);
        c2 = link(v2 * v2, c2);
        c3 = link(v3 * v3, c3);
    }
    out[0] = static_cast<float>(c0);
    out[1] = static_cast<float>(c1);
    out[2] = static_cast<float>(c2);
    out[3] = static_cast<float>(c3);
}

bool update(const float* in, float* out, const float* a, float s, std::size_t n, float& er)
{
    float unused = 0.0f;
    return update_impl<false>(in, out, a, s, nullptr, n, er, unused);
}

bool update_dot(const float* in, float* out, const float* a, float s, const float* next, std::size_t n,
                float& er, float& snext)
{
    return update_impl<true>(in, out, a, s, next, n, er, snext);
}

bool SweepResidual::update(const float* a, float s, const float* next, float& er, float& snext)
{
    float* out = cur_ == R_ ? other_ : R_;
    const bool ok = next ? update_dot(cur_, out, a, s, next, n_, er, snext) : kernels::update(cur_, out, a, s, n_, er);
    if (!ok) {
        settle();
        return false;
    }
    cur_ = out;
    return true;
}

void SweepResidual::settle()
{
    if (cur_ != R_)
        std::memcpy(R_, cur_, n_ * sizeof(float));
    cur_ = R_;
}

float* work_buffer(std::size_t n)
{
    thread_local std::vector<float> buffer;
    if (buffer.size() < n) {
        try {
            buffer.resize(n);
        } catch (const std::bad_alloc&) {
            throw MemoryError("not enough memory for a work vector");
        } catch (const std::length_error&) {
            throw MemoryError("not enough memory for a work vector");
        }
    }
    return buffer.data();
}

std::size_t first_nonfinite(const float* v, std::size_t n)
{
    for (std::size_t k = 0; k < n; ++k)
        if (!std::isfinite(v[k]))
            return k;
    return n;
}

} // namespace quenta::kernels
