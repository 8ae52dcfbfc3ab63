#pragma once
// The grid and the window each in one line, for comparing what a command left behind.
#include <string>

#include "model/form.h"

namespace quenta::testing {

// The in-memory layout as "rows x cols: value cells row by row | solution column" with an empty
// cell shown as "_" ("3x8: 1 2 3; 4 5 6 | 0 0"), the file-backed layout as its two columns
// ("Solution X(1)=0 X(2)=0").
std::string shown(const SystemGrid& g);

// "N=2 iter=1 mode=1 txtN=2 eps=0.2 on=ABSI X=[0,0,0] R=[0,0,0] C=[0,0,0] file=s.txt": the
// buttons enabled, the arrays, the chosen file below the data folder.
std::string summary(const Form& f);

} // namespace quenta::testing
