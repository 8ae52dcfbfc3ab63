#pragma once
// "Find  solution" and "Next Iteration".
#include "model/form.h"

namespace quenta {

void cmdSolution_Click(Form& f);
void cmdIter_Click(Form& f);

} // namespace quenta
