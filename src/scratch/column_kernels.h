#pragma once
// Inner loops of the iteration over contiguous columns, shared by the in-memory and the
// file-backed sweeps. They store nothing the caller can see except their outputs, and they do
// not raise: every result is computed with the float rules of model/arith.h (a double product
// plus the float addend, rounded to float after every term), and a result that left the float
// range shows up as a non-finite value, which the caller turns into the failure at the exact
// operation by redoing that piece of work in the plain checked order.
//
// A non-finite partial sum of such a chain stays non-finite to its end (adding a finite or an
// infinite product to an infinity or a NaN never gives a finite number), so checking the final
// value of a chain is enough to know whether any of its steps failed.
#include <cstddef>

namespace quenta::kernels {

// s = init; then s = float(double(r[k]) * double(a[k]) + double(s)) for k = 0..n-1 in order.
float dot_chain(const float* r, const float* a, std::size_t n, float init = 0.0f);

// The same chain with r = a: the squared length of a column.
float square_chain(const float* a, std::size_t n);

// Four independent square chains at once (the same results as four square_chain calls).
void square_chain4(const float* a0, const float* a1, const float* a2, const float* a3, std::size_t n,
                   float out[4]);

// out[k] = float(double(s) * double(a[k]) + double(in[k])) for k = 0..n-1; er = the largest
// positive out[k], or +0 when none is positive. When next is not null, also returns in snext the
// chain dot_chain(out, next, n), computed while the update runs. out may equal in. Returns false
// when some out[k] is not finite (er and snext are then meaningless).
bool update(const float* in, float* out, const float* a, float s, std::size_t n, float& er);
bool update_dot(const float* in, float* out, const float* a, float s, const float* next, std::size_t n,
                float& er, float& snext);

// A work vector of at least n floats, kept by the calling thread for the next call (its contents
// are not kept). MemoryError when it cannot be had.
float* work_buffer(std::size_t n);

// The residual of a sweep, R[0..n), with a work vector beside it: each update writes into the one
// that does not hold the current residual, so that after a failed update the residual before it
// is still at hand for the replay in the plain order. R holds the current residual again after a
// failed update, after settle(), and when the object goes (also when a failure unwinds).
class SweepResidual {
public:
    SweepResidual(float* R, std::size_t n) : R_(R), other_(work_buffer(n)), cur_(R), n_(n) {}
    SweepResidual(const SweepResidual&) = delete;
    SweepResidual& operator=(const SweepResidual&) = delete;
    ~SweepResidual() { settle(); }

    const float* current() const { return cur_; }
    // The residual update along column a with step s (and, when next is not null, the next
    // column's chain in snext, as update_dot). False when a component left the float range: the
    // update is then undone and er and snext are meaningless.
    bool update(const float* a, float s, const float* next, float& er, float& snext);
    void settle();

private:
    float* R_;
    float* other_;
    float* cur_;
    std::size_t n_;
};

// Index of the first non-finite element of v[0..n), or n when all are finite.
std::size_t first_nonfinite(const float* v, std::size_t n);

} // namespace quenta::kernels
