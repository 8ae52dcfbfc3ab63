#pragma once
// The working state of the main window, shared by every command. Arrays are indexed 1..N and
// allocated 0..N; index 0 is never used.
#include <QString>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "model/int16.h"
#include "model/numbers.h"

namespace quenta {

class ScratchClaim;  // the lock on the scratch file and what Connect wrote to it

// The coefficient matrix, stored column by column so that a column is contiguous:
// A(i, j) is the coefficient of unknown j in equation i. Rows and columns run 1..n.
class Matrix {
public:
    // Allocates room for n x n coefficients, all zero. Raises MemoryError when it cannot.
    void allocate(int n);
    void release();

    int order() const { return n_; }
    std::size_t stride() const { return stride_; }  // distance between two columns, >= n + 1
    float& operator()(int i, int j) { return data_[static_cast<std::size_t>(j) * stride_ + i]; }
    float operator()(int i, int j) const { return data_[static_cast<std::size_t>(j) * stride_ + i]; }
    // Column j: column(j)[i] is A(i, j) for i = 1..n.
    float* column(int j) { return data_.data() + static_cast<std::size_t>(j) * stride_; }
    const float* column(int j) const { return data_.data() + static_cast<std::size_t>(j) * stride_; }

private:
    int n_ = 0;
    std::size_t stride_ = 0;
    std::vector<float> data_;
};

// Gives v the indexes 0..n, all zero (keep = false) or keeping the values it has (keep = true,
// new entries zero). Raises MemoryError when the memory cannot be had, and SubscriptError when
// n is negative.
void allocate(std::vector<float>& v, int n, bool keep = false);

// What a whole sweep left: er, and the largest |R(i)| beside it, which counts the negative
// components as well.
struct SweepRecord {
    float accuracy;
    float largest;
};

// The values of StorageMode.
constexpr i16 InMemory = 1;    // the system lives in the grid and in A, B
constexpr i16 FileBacked = 2;  // the system lives in the scratch file

struct WorkingState {
    i16 N = 0;
    float eps = 0;

    std::string msgFormat;
    std::string msgIncomplete;
    std::string msgBadFile;
    std::string msgNoMemory;
    std::string msgNoFile;
    std::string msgReplace;

    i16 iter = 0;
    // The unknown the next sweep starts with: past 1 after a run was stopped within a sweep, so
    // that "Next Iteration" finishes that sweep first.
    int sweepFrom = 1;
    // Every whole sweep since the system was entered, opened or connected.
    std::vector<SweepRecord> history;
    Matrix A;
    std::vector<float> B;
    std::vector<float> X;
    std::vector<float> R;
    std::vector<float> ColNorm2;
    std::optional<i16> StorageMode;  // InMemory or FileBacked; empty until a system exists
    float er = 0;
    // sum B(i)^2 in double, of the b values that ERX read last: the scale of the residual.
    double BNorm2 = 0;
    // This window's claim on the scratch file, which holds the whole system of order N: set by
    // a Connect that read every equation, dropped (and the lock released) when a Connect starts,
    // when a new N is accepted, when a system is opened and when the window closes. The
    // file-backed commands refuse without it.
    std::shared_ptr<ScratchClaim> scratch;
    bool connected() const { return scratch != nullptr; }

    // The full path the file dialog chose last; shared by Open, Save and Connect.
    QString CD_FileName;

    // The user's decimal separator, for every number text a command reads or writes, on
    // whichever thread it runs.
    std::string separator = system_decimal_separator();

    // How many more allocations of the working arrays succeed before one raises MemoryError;
    // no limit when negative. Tests set it, since Linux rarely refuses an allocation outright.
    int allocationsLeft = -1;
    // allocate() and Matrix::allocate() for the working arrays, counted against allocationsLeft.
    void allocate(std::vector<float>& v, int n, bool keep = false);
    void allocate(Matrix& a, int n);

    // Stores the six message texts.
    void loadMessages();
};

} // namespace quenta
