#include "app/command_line.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>

namespace quenta {

CommandLine parse_command_line(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Solves a system of linear equations A\u00b7x = b by cyclic coordinate descent."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption connect(QStringList{QStringLiteral("c"), QStringLiteral("connect")},
                                     QStringLiteral("Solve FILE from the scratch file on disk (File > Connect)."),
                                     QStringLiteral("FILE"));
    parser.addOption(connect);
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("A system file to open at start (File > Open)."),
                                 QStringLiteral("[FILE]"));

    CommandLine out;
    // Without an application object the parser cannot name the program itself.
    const QString usage = parser.helpText().replace(QStringLiteral("<executable_name>"),
                                                    QFileInfo(arguments.value(0, QStringLiteral("quenta"))).fileName());
    const auto fail = [&out, &usage](const QString& why) {
        out.quit = true;
        out.exitCode = 2;
        out.output = why + QLatin1Char('\n') + usage;
        return out;
    };
    if (!parser.parse(arguments))
        return fail(parser.errorText());
    if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all"))) {
        out.quit = true;
        out.output = usage;
        return out;
    }
    if (parser.isSet(version)) {
        out.quit = true;
        out.output = QCoreApplication::applicationName() + QLatin1Char(' ') + QCoreApplication::applicationVersion() +
                     QLatin1Char('\n');
        return out;
    }
    const QStringList files = parser.positionalArguments();
    if (files.size() > 1 || (parser.isSet(connect) && !files.isEmpty()))
        return fail(QStringLiteral("Give one system file at most."));
    if (parser.isSet(connect)) {
        out.load = CommandLine::Load::Connect;
        out.path = QFileInfo(parser.value(connect)).absoluteFilePath();
    } else if (!files.isEmpty()) {
        out.load = CommandLine::Load::Open;
        out.path = QFileInfo(files.front()).absoluteFilePath();
    }
    return out;
}

} // namespace quenta
