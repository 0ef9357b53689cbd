// Command-line interpretation and the texts that answer it.
#include "commandline.h"

namespace tessaly {

CommandLine parseCommandLine(const QString& argumentText)
{
    CommandLine result;
    QString text = argumentText.trimmed();
    if (text.contains(QStringLiteral("-?"))) {
        result.action = CommandLine::Action::Usage;
        return result;
    }
    const QString clean = QStringLiteral("-clean");
    if (text.contains(clean)) {
        text.replace(clean, QStringLiteral("      "));
        text = text.trimmed();
        if (text.contains(QLatin1Char('-'))) {
            result.action = CommandLine::Action::Usage;
            return result;
        }
        result.action = CommandLine::Action::Clean;
        result.instance = text.isEmpty() ? QString(kDefaultInstance) : text;
        return result;
    }
    result.instance = text.isEmpty() ? QString(kDefaultInstance) : text;
    return result;
}

QString argumentText(const QStringList& words)
{
    return words.join(QLatin1Char(' ')).trimmed();
}

QString usageMessage()
{
    return QStringLiteral("Usage:\tTessaly.exe (NAME) (-clean)\r\n     with\r\n\tNAME = Instance name\r\n"
                          "\t-clean  = Registry clean option");
}

QString cleanMessage(const QString& instance)
{
    return QStringLiteral("Cleaning ") + instance + QStringLiteral(" registry context\r\nPlease restart application");
}

}  // namespace tessaly
