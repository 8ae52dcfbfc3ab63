#pragma once
#include "model/form.h"

namespace quenta {

// Writes data/sample1.txt .. sample4.txt (N = 4, 16, 64, 256) with values r*1000 from a uniform
// generator with a fixed initial state, the same on every machine. Leaves N at 256.
// FileError when a file cannot be written; the files written before it stay.
void create_samples(Form& f);

} // namespace quenta
