#include "solver/kernels.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <new>
#include <stdexcept>
#include <vector>

#include "model/errors.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace quenta {

namespace {

// One link of the exact chain: the double sum of an exact product and the running float, rounded.
inline double link(double product, double sum) { return static_cast<double>(static_cast<float>(product + sum)); }

#if defined(__x86_64__)

// bad is the lane-wise sum of x - x over every stored x: +0 while all were finite, NaN otherwise.
inline bool all_finite(__m128 bad) { return _mm_movemask_ps(_mm_cmpord_ps(bad, bad)) == 0xF; }

inline float largest_positive(__m128 v)
{
    alignas(16) float lanes[4];
    _mm_store_ps(lanes, v);
    float m = 0.0f;
    for (float x : lanes)
        m = x > m ? x : m;
    return m;
}

// The exact update, four elements at a time, with the next column's chain beside it when next is
// not null. Returns how many elements it did; finite, mx and acc carry on into the scalar part.
inline std::size_t update_vector(const float* in, float* out, const float* a, float s, const float* next,
                                 std::size_t n, bool& finite, __m128& mx, double& acc)
{
    const __m128d sv = _mm_set1_pd(static_cast<double>(s));
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
        if (next) {
            // The products of the next column's chain, exact in double; the chain stays in order.
            const __m128 b4 = _mm_loadu_ps(next + k);
            alignas(16) double p[4];
            _mm_store_pd(p, _mm_mul_pd(_mm_cvtps_pd(o), _mm_cvtps_pd(b4)));
            _mm_store_pd(p + 2, _mm_mul_pd(_mm_cvtps_pd(_mm_movehl_ps(o, o)), _mm_cvtps_pd(_mm_movehl_ps(b4, b4))));
            c = link(p[3], link(p[2], link(p[1], link(p[0], c))));
        }
    }
    acc = c;
    finite = all_finite(bad);
    return k;
}

// The fused pass: when Update, the exact update as above (in double FMA, which rounds the exact
// product plus the addend once to double, as the rule does); then the chain over out (or over in
// when not Update) and next with one float FMA per link. Beside the chain every four links are
// recomputed by the exact rule from the partial sums the chain produced, and compared bit for bit.
// same tells whether every link agreed; the return value whether every out[k] is finite.
template <bool Update>
[[gnu::target("avx2,fma")]] bool fused_pass(const float* in, float* out, const float* a, float s,
                                           const float* next, std::size_t n, float init, float& er,
                                           float& sum, bool& same)
{
    const __m256d sv = _mm256_set1_pd(static_cast<double>(s));
    const float* r = Update ? out : in;
    __m128 mx = _mm_setzero_ps(), bad = _mm_setzero_ps(), c = _mm_set_ss(init);
    __m128i diff = _mm_setzero_si128();
    std::size_t k = 0;
    for (; k + 4 <= n; k += 4) {
        __m128 o = _mm_loadu_ps(in + k);
        if constexpr (Update) {
            o = _mm256_cvtpd_ps(_mm256_fmadd_pd(sv, _mm256_cvtps_pd(_mm_loadu_ps(a + k)), _mm256_cvtps_pd(o)));
            _mm_storeu_ps(out + k, o);
            mx = _mm_max_ps(mx, o);
            bad = _mm_add_ps(bad, _mm_sub_ps(o, o));
        }
        const __m128 c0 = c;
        const __m128 c1 = _mm_fmadd_ss(_mm_load_ss(r + k), _mm_load_ss(next + k), c0);
        const __m128 c2 = _mm_fmadd_ss(_mm_load_ss(r + k + 1), _mm_load_ss(next + k + 1), c1);
        const __m128 c3 = _mm_fmadd_ss(_mm_load_ss(r + k + 2), _mm_load_ss(next + k + 2), c2);
        c = _mm_fmadd_ss(_mm_load_ss(r + k + 3), _mm_load_ss(next + k + 3), c3);
        const __m128 before = _mm_movelh_ps(_mm_unpacklo_ps(c0, c1), _mm_unpacklo_ps(c2, c3));
        const __m128 after = _mm_movelh_ps(_mm_unpacklo_ps(c1, c2), _mm_unpacklo_ps(c3, c));
        const __m128 exact = _mm256_cvtpd_ps(
            _mm256_fmadd_pd(_mm256_cvtps_pd(o), _mm256_cvtps_pd(_mm_loadu_ps(next + k)), _mm256_cvtps_pd(before)));
        diff = _mm_or_si128(diff, _mm_xor_si128(_mm_castps_si128(exact), _mm_castps_si128(after)));
    }
    float m = largest_positive(mx), t = _mm_cvtss_f32(c);
    bool finite = all_finite(bad), agree = _mm_testz_si128(diff, diff);
    for (; k < n; ++k) {
        float o = in[k];
        if constexpr (Update) {
            o = static_cast<float>(static_cast<double>(s) * static_cast<double>(a[k]) + static_cast<double>(o));
            out[k] = o;
            finite = finite && std::isfinite(o);
            m = o > m ? o : m;
        }
        const float f = _mm_cvtss_f32(_mm_fmadd_ss(_mm_set_ss(o), _mm_set_ss(next[k]), _mm_set_ss(t)));
        const float e = static_cast<float>(link(static_cast<double>(o) * static_cast<double>(next[k]), t));
        agree = agree && std::bit_cast<std::uint32_t>(e) == std::bit_cast<std::uint32_t>(f);
        t = f;
    }
    er = m;
    sum = t;
    same = agree;
    return finite;
}

#endif

// The exact update; with next, also the chain of next over the new values.
bool update_exact(const float* in, float* out, const float* a, float s, const float* next, std::size_t n,
                  float& er, float& snext)
{
    bool finite = true;
    double acc = 0.0;
    std::size_t k = 0;
    float m = 0.0f;
#if defined(__x86_64__)
    __m128 mx = _mm_setzero_ps();
    k = update_vector(in, out, a, s, next, n, finite, mx, acc);
    m = largest_positive(mx);
#endif
    for (; k < n; ++k) {
        const float o = static_cast<float>(static_cast<double>(s) * static_cast<double>(a[k]) +
                                           static_cast<double>(in[k]));
        out[k] = o;
        finite = finite && std::isfinite(o);
        m = o > m ? o : m;
        if (next)
            acc = link(static_cast<double>(o) * static_cast<double>(next[k]), acc);
    }
    er = m;
    snext = static_cast<float>(acc);
    return finite;
}

} // namespace

namespace kernels {

float chain(const float* r, const float* a, std::size_t n, float init)
{
    double acc = static_cast<double>(init);
    for (std::size_t k = 0; k < n; ++k)
        acc = link(static_cast<double>(r[k]) * static_cast<double>(a[k]), acc);
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
    float unused;
    return update_exact(in, out, a, s, nullptr, n, er, unused);
}

std::vector<float> work_vector(std::size_t n)
{
    try {
        return std::vector<float>(n);
    } catch (const std::bad_alloc&) {
        throw MemoryError("not enough memory for a work vector");
    } catch (const std::length_error&) {
        throw MemoryError("not enough memory for a work vector");
    }
}

std::size_t first_nonfinite(const float* v, std::size_t n)
{
    for (std::size_t k = 0; k < n; ++k)
        if (!std::isfinite(v[k]))
            return k;
    return n;
}

} // namespace kernels

Kernel::Kind Kernel::best()
{
#if defined(__x86_64__)
    static const bool fused = __builtin_cpu_supports("fma") && __builtin_cpu_supports("avx2");
    return fused ? Fused : Exact;
#else
    return Exact;
#endif
}

Kernel::Kernel(Kind kind) : kind_(kind == Fused ? best() : Exact) {}

float Kernel::chain(const float* r, const float* a, std::size_t n, float init)
{
#if defined(__x86_64__)
    if (kind_ == Fused) {
        float er, sum;
        bool same;
        fused_pass<false>(r, nullptr, nullptr, 0.0f, a, n, init, er, sum, same);
        if (same && std::isfinite(sum))
            return sum;
        ++redone_;
    }
#endif
    return kernels::chain(r, a, n, init);
}

bool Kernel::update(const float* in, float* out, const float* a, float s, const float* next, std::size_t n,
                    float& er, float& snext)
{
#if defined(__x86_64__)
    if (kind_ == Fused && next) {
        bool same;
        if (!fused_pass<true>(in, out, a, s, next, n, 0.0f, er, snext, same))
            return false;
        if (!same || !std::isfinite(snext)) {
            ++redone_;
            snext = kernels::chain(out, next, n);
        }
        return true;
    }
#endif
    return update_exact(in, out, a, s, next, n, er, snext);
}

bool SweepResidual::update(Kernel& k, const float* a, float s, const float* next, float& er, float& snext)
{
    float* out = cur_ == R_ ? other_ : R_;
    if (!k.update(cur_, out, a, s, next, n_, er, snext)) {
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

} // namespace quenta
