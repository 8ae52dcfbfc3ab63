#pragma once
// Run-time failures. Each is thrown at the operation that fails; a command catches around each
// risky stretch of its work and turns the failure into its message (or ends silently).
#include <stdexcept>
#include <string>

namespace quenta {

struct QuentaError : std::runtime_error {
    using std::runtime_error::runtime_error;
};
// Text that is not a number (empty, a placeholder such as "a(1,2)", "abc").
struct ConversionError : QuentaError { using QuentaError::QuentaError; };
// A 16-bit value out of range, or a number text beyond the float range.
struct OverflowError : QuentaError { using QuentaError::QuentaError; };
// Float arithmetic: a result beyond the float range, a division by zero, 0/0.
struct ArithmeticError : QuentaError { using QuentaError::QuentaError; };
// An index outside an array, or a grid cell outside the grid.
struct SubscriptError : QuentaError { using QuentaError::QuentaError; };
// A file that cannot be opened, read or written.
struct FileError : QuentaError { using QuentaError::QuentaError; };
// A write that did not reach the file (a full disk, a file size limit).
struct WriteError : FileError { using FileError::FileError; };
// The user stopped a command while it wrote a file: that file stays as it was.
struct Cancelled : QuentaError { using QuentaError::QuentaError; };
// An allocation that failed (real or injected by a test).
struct MemoryError : QuentaError { using QuentaError::QuentaError; };

} // namespace quenta
