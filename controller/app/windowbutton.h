// A push button of a secondary window: named for tests, with its tool tip,
// never the default button (Return belongs to the grid's editor).
#pragma once

#include <QPushButton>
#include <QString>

namespace tessaly {

inline QPushButton* windowButton(const QString& name, const QString& caption, const QString& tip, QWidget* parent)
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setToolTip(tip);
    b->setAutoDefault(false);
    return b;
}

}  // namespace tessaly
