// The one seam through which the application shows message boxes, asks
// yes/no questions and sounds its beep. The program shows real boxes;
// tests record them.
#pragma once

#include <QString>

namespace tessaly {

class Messages {
public:
    enum class Icon { Information, Warning, Critical };
    virtual ~Messages() = default;
    // A box with an OK button, modal; returns when dismissed.
    virtual void message(const QString& title, const QString& text, Icon icon) = 0;
    virtual void beep() = 0;
    // A yes/no box, modal; true for yes. Without a box (tests) the answer
    // is yes.
    virtual bool question(const QString& title, const QString& text);
};

// Qt message boxes and the system beep.
class BoxMessages : public Messages {
public:
    void message(const QString& title, const QString& text, Icon icon) override;
    void beep() override;
    bool question(const QString& title, const QString& text) override;
};

}  // namespace tessaly
