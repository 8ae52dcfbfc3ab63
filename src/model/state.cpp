#include "model/state.h"

#include <new>
#include <stdexcept>

#include "model/errors.h"
#include "model/messages.h"

namespace quenta {

namespace {

bool isPowerOfTwo(std::size_t v) { return v != 0 && (v & (v - 1)) == 0; }

} // namespace

void Matrix::allocate(int n)
{
    if (n < 0)
        throw SubscriptError("negative matrix order");
    // Columns 0..n of rows 0..n. The column stride is rounded up to whole 64-byte lines and kept
    // off powers of two, so that walking along a row does not hit the same cache sets.
    std::size_t stride = (static_cast<std::size_t>(n) + 1 + 15) / 16 * 16 + 16;
    if (isPowerOfTwo(stride))
        stride += 16;
    release();
    try {
        data_.assign((static_cast<std::size_t>(n) + 1) * stride, 0.0f);
    } catch (const std::bad_alloc&) {
        release();
        throw MemoryError("not enough memory for the matrix");
    } catch (const std::length_error&) {
        release();
        throw MemoryError("not enough memory for the matrix");
    }
    n_ = n;
    stride_ = stride;
}

void Matrix::release()
{
    std::vector<float>().swap(data_);
    n_ = 0;
    stride_ = 0;
}

void allocate(std::vector<float>& v, int n, bool keep)
{
    if (n < 0)
        throw SubscriptError("negative array bound");
    const std::size_t size = static_cast<std::size_t>(n) + 1;
    try {
        if (keep) {
            v.resize(size, 0.0f);
        } else {
            v.assign(size, 0.0f);
        }
    } catch (const std::bad_alloc&) {
        throw MemoryError("not enough memory for an array");
    } catch (const std::length_error&) {
        throw MemoryError("not enough memory for an array");
    }
}

namespace {

// One allocation of a working array against the budget; an order that is no order fails in the
// allocation itself, without spending any.
void spend(int& left, int n)
{
    if (n < 0 || left < 0)
        return;
    if (left == 0)
        throw MemoryError("not enough memory (injected)");
    --left;
}

} // namespace

void WorkingState::allocate(std::vector<float>& v, int n, bool keep)
{
    spend(allocationsLeft, n);
    quenta::allocate(v, n, keep);
}

void WorkingState::allocate(Matrix& a, int n)
{
    spend(allocationsLeft, n);
    a.allocate(n);
}

void WorkingState::loadMessages()
{
    msgFormat = messages::Format;
    msgIncomplete = messages::Incomplete;
    msgBadFile = messages::BadFile;
    msgNoMemory = messages::NoMemory;
    msgNoFile = messages::NoFile;
    msgReplace = messages::Replace;
}

} // namespace quenta
