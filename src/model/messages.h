#pragma once
// Every text the program shows in a message box, in one table. The first six are the message
// table that start-up stores in the working state (WorkingState::loadMessages), quoted exactly,
// leading and doubled blanks included; the others say what those six cannot.
#include <QString>
#include <QStringList>
#include <string>

namespace quenta::messages {

inline constexpr const char* Format = " Sorry, not correct format of the entered number.";
inline constexpr const char* Incomplete = " Sorry, incorrect data or not all  data are available.";
inline constexpr const char* BadFile = " Sorry, not correct data in the file.";
inline constexpr const char* NoMemory = " Sorry, not enough memory. Please try the option-'Connect to' from the File Menu";
inline constexpr const char* NoFile = " Sorry, there is no the file.";
inline constexpr const char* Replace = "Such file exists. Do you want to replace the old file?";

// The in-memory norms' word for a zero column.
inline constexpr const char* NoSolution = "NoSolution";
// Save of a system outside the data folder: its approximation has no place to go.
inline constexpr const char* OutsideData =
    " The approximation is kept only for systems inside the data folder; it was not saved.";

// A write that failed (a full disk, a file size limit), with the path run on behind it.
std::string saveFailed(const QString& path);
// A Connect refused because another window holds the scratch file.
std::string scratchInUse(const QString& scratchPath);
// A paste that is not a system: the first line that is not as it should be, and what is wrong
// with it ("holds 3 numbers where the first line holds 4").
std::string badPaste(long long line, const std::string& why);
// A copy of more cells than one copy may take.
std::string copyTooLarge(long long cells, long long limit);
// Start-up when none of the folders it tried can hold the data folder.
std::string noDataFolder(const QStringList& folders);

} // namespace quenta::messages
