#pragma once
// File > Connect: copies a system text file into the scratch file and switches to the
// file-backed mode.
#include <QString>
#include <memory>
#include <string>
#include <optional>
#include <vector>

#include "model/form.h"
#include "scratch/scratch_claim.h"

namespace quenta {

// Connect in two halves, as Open: the file dialog on the window's thread, then the loading.
void Connect_Click(Form& f);
std::optional<QString> Connect_Choose(Form& f);
void Connect_Load(Form& f, const QString& path);

// Loads the system file at `path` into the scratch file, sets N (and txtN), resizes x to 0..N and
// fills it from the saved solution. Reports its own failures and returns how it ended. Reports its
// progress to f.controls once a line; a stop requested leaves the scratch file unusable, as a
// failure does, and shows nothing. The window's claim on the scratch file is `claim`, or taken
// here when null; the window holds it from a complete load on, and a load that is refused,
// fails or is stopped releases it.
LoadOutcome connect_to_file(Form& f, const QString& path, std::vector<float>& x,
                     std::shared_ptr<ScratchClaim> claim = nullptr);


} // namespace quenta
