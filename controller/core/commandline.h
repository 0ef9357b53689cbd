// The application's command line: "tessaly [NAME] [-clean]" and "-?".
// The whole line, trimmed, is the argument text; it names the instance
// (driver configuration, database storage key and settings key).
#pragma once

#include <QString>
#include <QStringList>

namespace tessaly {

inline constexpr const char* kDefaultInstance = "Tessaly";

struct CommandLine {
    enum class Action { Run, Usage, Clean };
    Action action = Action::Run;
    QString instance = kDefaultInstance;  // Run: the instance; Clean: the instance to delete
};

// Interprets the argument text.
CommandLine parseCommandLine(const QString& argumentText);

// The argument words of a process (argv[1..]) joined by blanks and trimmed.
QString argumentText(const QStringList& words);

QString usageMessage();
QString cleanMessage(const QString& instance);

}  // namespace tessaly
