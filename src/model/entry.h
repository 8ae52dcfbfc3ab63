#pragma once
// The entry commands: Accept N, Accept A(i,j), Accept B(i) and the three index spinners.
#include "model/form.h"

namespace quenta {

void cmdN_Click(Form& f);
void cmdA_Click(Form& f);
void cmdB_Click(Form& f);
// k is the spinner: 0 = i of A(i,j), 1 = j of A(i,j), 2 = i of B(i).
void cmdUp_Click(Form& f, int k);
void cmdDown_Click(Form& f, int k);

} // namespace quenta
