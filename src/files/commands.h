#pragma once
// File > Open and File > Save.
#include "model/form.h"

namespace quenta {

void Open_Click(Form& f);
void Save_Click(Form& f);

} // namespace quenta
