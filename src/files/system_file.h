#pragma once
// System text files (one equation a line: N coefficients then the right-hand side) and
// solution files (one line of N values, in data/solutions under the system file's name
// relative to the data folder).
#include <QString>
#include <optional>
#include <string>
#include <vector>

#include "model/form.h"

namespace quenta {

// The part of `path` below the data folder ("sample1.txt", "sub/sys.txt"), comparing canonical
// paths; nothing when the file does not lie inside the data folder.
std::optional<QString> relative_name(const ProgramDir& dir, const QString& path);

// A file as the status line names it: by its relative name inside the data folder, else by its
// full path.
std::string file_label(const ProgramDir& dir, const QString& path);

// The solution file that pairs with a system file, or nothing outside the data folder.
std::optional<QString> solution_path(const ProgramDir& dir, const QString& systemPath);

// Reads a system file into the grid (sets N, lays out, fills value cells, then the solution
// column from get_solution). Reports msgNoFile / msgBadFile itself; FileError goes to the
// caller only when an existing file cannot be opened. Reports its progress to f.controls once a
// line; when a stop is requested it returns Stopped with the grid and N as they were.
LoadOutcome open_file(Form& f, const QString& path);

// Writes rows 1..N of the grid as a system file. Asks msgReplace + name when the file exists
// (No: returns false without writing). Returns true when written. FileError on a failed write;
// the old file stays whole. Reports its progress to f.controls once a line; a stop requested
// raises Cancelled and leaves the old file as well.
bool save_file(Form& f, const QString& name);

// Writes the solution cells as a solution file; same replace question, failures and stop.
bool save_solution(Form& f, const QString& name);

// Fills x[1..N] with the saved solution of the system file at `path`, zeros when it has none.
// Reports msgBadFile itself and returns normally.
void get_solution(Form& f, const QString& path, std::vector<float>& x);

} // namespace quenta
