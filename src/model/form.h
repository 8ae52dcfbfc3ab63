#pragma once
// What a command may touch: the working state, the grid, a few control texts and enabled flags,
// and the user. The main window implements Controls and UserDialogs with real widgets; tests
// implement them with a map of texts and a queue of scripted answers.
#include <QString>
#include <cstdint>
#include <optional>
#include <string>

#include "model/grid.h"
#include "model/program_dir.h"
#include "model/state.h"

namespace quenta {

enum class Control {
    txtN, txtA, txtB, txtEps, txtEr, txtTime,
    txtIndex0, txtIndex1, txtIndex2,
    cmdN, cmdA, cmdB, cmdSolution, cmdIter,
    sbrStatus,  // the status line below the client area: how the last command ended
};
inline constexpr int ControlCount = int(Control::sbrStatus) + 1;  // the controls are 0 .. ControlCount - 1

class Controls {
public:
    virtual ~Controls() = default;
    virtual std::string text(Control c) const = 0;
    virtual void setText(Control c, const std::string& text) = 0;
    virtual bool isEnabled(Control c) const = 0;
    virtual void setEnabled(Control c, bool enabled) = 0;
    // A long command shows that it is working (busy cursor) without handling any input.
    virtual void setBusy(bool) {}
    // Repaints txtEr and the grid now, without running the event loop. Long commands call it at
    // most about ten times a second.
    virtual void repaintProgress() {}
    // True once the user asked a running command to stop: a solve ends at its next step
    // boundary, Open and Connect after the line they read, Save after the line it wrote.
    virtual bool stopRequested() const { return false; }
    // Open and Connect have read `done` of the `total` bytes of their file, Save has written
    // `done` of the `total` lines of its file; called once a line.
    virtual void fileProgress(std::int64_t /*done*/, std::int64_t /*total*/) {}
};

class UserDialogs {
public:
    virtual ~UserDialogs() = default;
    // A modal box titled "Quenta" with the text, an OK button and no icon.
    virtual void message(const std::string& text) = 0;
    // A modal box titled "Quenta" with Yes and No; true for Yes.
    virtual bool askYesNo(const std::string& text) = 0;
    // The file dialog CD, starting in `folder`: the chosen full path, or nothing when cancelled.
    virtual std::optional<QString> openFile(const QString& folder) = 0;
    virtual std::optional<QString> saveFile(const QString& folder) = 0;
};

// How a loader (Open's, Connect's) ended. It has shown its own message when it failed.
enum class LoadOutcome { Loaded, Failed, Stopped };

struct Form {
    WorkingState& state;
    SystemGrid& grid;
    Controls& controls;
    UserDialogs& user;
    ProgramDir dir;  // where the data folder, the scratch file and the help pages live
};

} // namespace quenta
