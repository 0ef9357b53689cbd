// Clickable labels.
#include "clicklabel.h"

#include <QMouseEvent>
#include <QPainter>

namespace tessaly {

ClickLabel::ClickLabel(const QString& name, QWidget* parent) : QLabel(parent)
{
    setObjectName(name);
    setFocusPolicy(Qt::NoFocus);
}

void ClickLabel::mouseReleaseEvent(QMouseEvent* event)
{
    if (isEnabled() && rect().contains(event->position().toPoint())) {
        emit clicked(event->button());
    }
    QLabel::mouseReleaseEvent(event);
}

QPixmap padlockPicture(bool open)
{
    QPixmap pm(28, 34);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor colour = open ? QColor(0, 220, 0) : QColor(230, 70, 50);
    p.setPen(QPen(colour, 3.5));
    p.setBrush(Qt::NoBrush);
    // The shackle: lifted to one side when open.
    const QRectF shackle = open ? QRectF(10, 2, 14, 20) : QRectF(7, 3, 14, 20);
    p.drawArc(shackle, 0, 180 * 16);
    p.drawLine(QPointF(shackle.right(), shackle.center().y()), QPointF(shackle.right(), 16));
    if (!open) {
        p.drawLine(QPointF(shackle.left(), shackle.center().y()), QPointF(shackle.left(), 16));
    }
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawRoundedRect(QRectF(3, 15, 22, 17), 3, 3);
    p.setBrush(Qt::black);
    p.drawEllipse(QPointF(14, 22), 2.5, 2.5);
    return pm;
}

}  // namespace tessaly
