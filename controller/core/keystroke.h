// One key as the application's key handlers see it: the key code (Qt's),
// the character it types (null for keys that type none) and the modifiers.
#pragma once

#include <QChar>

namespace tessaly {

struct KeyStroke {
    int key = 0;
    QChar ch;
    bool shift = false;
    bool ctrl = false;
    bool alt = false;
    bool keypad = false;
};

}  // namespace tessaly
