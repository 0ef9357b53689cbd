// The one seam through which the application asks the operator for a file
// name. The program shows the file dialogs; tests answer with names of
// their own.
#pragma once

#include <QString>

class QWidget;

namespace tessaly {

class Messages;

class FileChooser {
public:
    virtual ~FileChooser() = default;
    // A file to read, proposed as `name`.`extension` in the current
    // directory; empty when the operator cancels.
    virtual QString openFile(QWidget* parent, const QString& name, const QString& extension) = 0;
    // A file to write; an existing file is used only when the operator
    // agrees to replace it. Empty when cancelled.
    virtual QString saveFile(QWidget* parent, const QString& name, const QString& extension) = 0;
};

// The file dialogs: "Select File name to be load ..." and "Select File name
// to be used ...", filtered by the extension ("*" when none is given).
class DialogFileChooser : public FileChooser {
public:
    explicit DialogFileChooser(Messages& messages) : m_messages(messages) {}
    QString openFile(QWidget* parent, const QString& name, const QString& extension) override;
    QString saveFile(QWidget* parent, const QString& name, const QString& extension) override;

private:
    Messages& m_messages;
};

}  // namespace tessaly
