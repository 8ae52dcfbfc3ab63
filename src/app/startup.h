#pragma once
// Loading the main window and leaving the program.
#include "model/form.h"

namespace quenta {

// Runs once when the main window is created, before it is first shown: the message table, the
// enabled state of the index fields and of the buttons that need a system, iter = 1, the data
// folder (with the sample systems when it had to be created) and eps from txtEps.
void Form_Load(Form& f);

// File > Exit: closes every window of the program, the help window included, and leaves the
// event loop. Nothing is asked and nothing is saved.
void Exit_Click();

} // namespace quenta
