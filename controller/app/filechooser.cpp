// File dialogs of the application.
#include "filechooser.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

#include "messages.h"

namespace tessaly {

namespace {

QString proposed(const QString& name, const QString& extension)
{
    const QString ext = extension.isEmpty() ? QStringLiteral("*") : extension;
    return QDir::current().filePath(ext == QLatin1String("*") ? name : name + QLatin1Char('.') + ext);
}

QString filter(const char* what, const QString& extension)
{
    const QString ext = extension.isEmpty() ? QStringLiteral("*") : extension;
    return QStringLiteral("%1 Files [*.%2] (*.%2)").arg(QLatin1String(what), ext);
}

}  // namespace

QString DialogFileChooser::openFile(QWidget* parent, const QString& name, const QString& extension)
{
    return QFileDialog::getOpenFileName(parent, QStringLiteral("Select File name to be load ..."),
                                        proposed(name, extension), filter("Load", extension));
}

QString DialogFileChooser::saveFile(QWidget* parent, const QString& name, const QString& extension)
{
    const QString path = QFileDialog::getSaveFileName(parent, QStringLiteral("Select File name to be used ..."),
                                                      proposed(name, extension), filter("Save", extension), nullptr,
                                                      QFileDialog::DontConfirmOverwrite);
    if (path.isEmpty()) {
        return {};
    }
    if (QFileInfo::exists(path) && !m_messages.question(QStringLiteral("Warning: File already exists"),
                                                        QStringLiteral("Do you want to replace file ?"))) {
        return {};
    }
    return path;
}

}  // namespace tessaly
