#pragma once
// Inner loops of the iteration over contiguous columns. They raise nothing and store nothing the
// caller can see except their outputs. Every value they return follows model/arith.h (a double
// product plus the float addend, rounded to float after every term); a value that left the float
// range shows up as a non-finite result, which the caller turns into the failure at the exact
// operation by redoing that piece of work in the checked order. A non-finite partial sum of a
// chain stays non-finite to its end, so the final value tells whether any link failed.
#include <cstddef>
#include <vector>

namespace quenta {

namespace kernels {

// s = init; then s = float(double(r[k]) * double(a[k]) + double(s)) for k = 0..n-1 in order.
float chain(const float* r, const float* a, std::size_t n, float init = 0.0f);

// Four independent chains of squares at once (four columns' norms).
void square_chain4(const float* a0, const float* a1, const float* a2, const float* a3, std::size_t n,
                   float out[4]);

// out[k] = float(double(s) * double(a[k]) + double(in[k])) for k = 0..n-1; er = the largest
// positive out[k], or +0 when none is. out may equal in. False when some out[k] is not finite.
bool update(const float* in, float* out, const float* a, float s, std::size_t n, float& er);

// A work vector of n floats for one routine. MemoryError when it cannot be had.
std::vector<float> work_vector(std::size_t n);

// Index of the first non-finite element of v[0..n), or n when all are finite.
std::size_t first_nonfinite(const float* v, std::size_t n);

} // namespace kernels

// The kernel of the serial chains of a sweep. Exact runs every link as the rule says (a double
// add, a rounding to float: about ten cycles a link). Fused runs the chain with one
// single-precision FMA per link, which rounds once and so gives the same float except in rare
// double-rounding cases, and checks every link against the rule in vector form beside the chain;
// a column with any mismatch or a non-finite value is redone exactly. Both kinds give the same
// bits. Fused needs a CPU with FMA and AVX2; elsewhere a Fused kernel runs exactly.
class Kernel {
public:
    enum Kind { Exact, Fused };
    static Kind best();  // Fused when the CPU has FMA and AVX2
    explicit Kernel(Kind kind = best());

    Kind kind() const { return kind_; }
    // Columns the fused chain redid exactly.
    std::size_t redone() const { return redone_; }

    // kernels::chain.
    float chain(const float* r, const float* a, std::size_t n, float init = 0.0f);
    // kernels::update, and when next is not null also snext = chain(out, next, n), computed while
    // the update runs.
    bool update(const float* in, float* out, const float* a, float s, const float* next, std::size_t n, float& er,
                float& snext);

private:
    Kind kind_;
    std::size_t redone_ = 0;
};

// The residual of a sweep, R[0..n), with a work vector beside it: each update writes into the one
// that does not hold the current residual, so that after a failed update the residual before it
// is still at hand for the exact replay. R holds the current residual again after a failed update,
// after settle(), and when the object goes (also when a failure unwinds).
class SweepResidual {
public:
    SweepResidual(float* R, std::size_t n) : R_(R), work_(kernels::work_vector(n)), other_(work_.data()), cur_(R), n_(n) {}
    SweepResidual(const SweepResidual&) = delete;
    SweepResidual& operator=(const SweepResidual&) = delete;
    ~SweepResidual() { settle(); }

    const float* current() const { return cur_; }
    // Kernel::update along column a with step s. False when a component left the float range:
    // the update is then undone and er and snext are meaningless.
    bool update(Kernel& k, const float* a, float s, const float* next, float& er, float& snext);
    void settle();

private:
    float* R_;
    std::vector<float> work_;
    float* other_;
    float* cur_;
    std::size_t n_;
};

} // namespace quenta
