#pragma once
// The program's command line: `quenta [FILE]` opens FILE at start as File > Open would,
// `quenta --connect FILE` connects it; --help and --version print and end the program before
// any window is made.
#include <QString>
#include <QStringList>

namespace quenta {

struct CommandLine {
    enum class Load { None, Open, Connect };
    Load load = Load::None;
    QString path;      // absolute, FILE taken relative to the current directory
    bool quit = false;  // print `output` and end with `exitCode`, without a window
    int exitCode = 0;
    QString output;
};

// arguments as QCoreApplication::arguments() gives them (the program first).
CommandLine parse_command_line(const QStringList& arguments);

} // namespace quenta
