#pragma once
// File > Connect: copies a system text file into the scratch file and switches to the
// file-backed mode.
#include <QString>
#include <vector>

#include "model/form.h"

namespace quenta {

void Connect_Click(Form& f);

// Loads the system file at `path` into the scratch file, sets N (and txtN), resizes x to 0..N and
// fills it from the saved solution. Reports its own failures and returns normally.
void connect_to_file(Form& f, const QString& path, std::vector<float>& x);

} // namespace quenta
