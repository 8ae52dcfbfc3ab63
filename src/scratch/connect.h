#pragma once
// File > Connect: copies a system text file into the scratch file and switches to the
// file-backed mode.
#include <QString>
#include <optional>
#include <vector>

#include "model/form.h"

namespace quenta {

// Connect in two halves, as Open: the file dialog on the window's thread, then the loading.
void Connect_Click(Form& f);
std::optional<QString> Connect_Choose(Form& f);
void Connect_Load(Form& f, const QString& path);

// Loads the system file at `path` into the scratch file, sets N (and txtN), resizes x to 0..N and
// fills it from the saved solution. Reports its own failures and returns normally. Reports its
// progress to f.controls once a line; a stop requested leaves the scratch file unusable, as a
// failure does, and shows nothing.
void connect_to_file(Form& f, const QString& path, std::vector<float>& x);

} // namespace quenta
