// A label that reports mouse clicks with their button: the display labels
// of the main window act on a click (left button forwards, any other back).
#pragma once

#include <QLabel>

namespace tessaly {

class ClickLabel : public QLabel {
    Q_OBJECT
public:
    explicit ClickLabel(const QString& name, QWidget* parent = nullptr);

signals:
    void clicked(Qt::MouseButton button);

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

// The remote lock picture: an open padlock while under remote control.
QPixmap padlockPicture(bool open);

}  // namespace tessaly
