#pragma once
// File > Open and File > Save.
#include <QString>
#include <QStringView>
#include <optional>

#include "model/form.h"

namespace quenta {

// Open in two halves: the file dialog, which the window asks on its own thread, and the loading,
// which may run on a worker and stops early, changing nothing, when a stop is requested.
// Open_Click does both. The loading says on the status line how it ended.
void Open_Click(Form& f);
std::optional<QString> Open_Choose(Form& f);
void Open_Load(Form& f, const QString& path);

// Save in the same two halves: the system file's path (the save dialog in the in-memory mode, the
// connected file's path in the file-backed mode, nothing when there is nothing to save), then
// the writing of the system file and the solution file, each after its replace question. A stop
// requested while a file is written leaves that file as it was and ends the command; files
// already written stay written. The writing says on the status line which files it saved.
void Save_Click(Form& f);
std::optional<QString> Save_Choose(Form& f);
void Save_Write(Form& f, const QString& system);

// Edit > Paste System, the loading half (the window takes the text off the clipboard): the text
// read by read_system_text becomes the in-memory system as an Open of a file with those numbers
// makes it, no saved solution aside. A text that is not a system changes nothing; a stop, too.
void PasteSystem_Load(Form& f, QStringView text);

} // namespace quenta
