#pragma once
// File > Open and File > Save.
#include <QString>
#include <optional>

#include "model/form.h"

namespace quenta {

// Open in two halves: the file dialog, which the window asks on its own thread, and the loading,
// which may run on a worker and stops early, changing nothing, when a stop is requested.
// Open_Click does both.
void Open_Click(Form& f);
std::optional<QString> Open_Choose(Form& f);
void Open_Load(Form& f, const QString& path);
void Save_Click(Form& f);

} // namespace quenta
