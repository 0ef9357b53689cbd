// The key-help window (F1): a fixed summary of the key commands. It opens
// where it was last closed with Esc ("HelpLeft", "HelpTop").
#pragma once

#include <QWidget>

#include "controller/core/appsettings.h"

namespace tessaly {

class KeyHelpWindow : public QWidget {
    Q_OBJECT
public:
    KeyHelpWindow(const AppSettings& settings, const QString& title, QWidget* parent = nullptr);
    void open();
    static QString helpText();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    const AppSettings& m_settings;
    bool m_placed = false;
};

}  // namespace tessaly
