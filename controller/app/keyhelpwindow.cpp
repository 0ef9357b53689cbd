// Key help.
#include "keyhelpwindow.h"

#include <QKeyEvent>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace tessaly {

KeyHelpWindow::KeyHelpWindow(const AppSettings& settings, const QString& title, QWidget* parent)
    : QWidget(parent, Qt::Tool), m_settings(settings)
{
    setObjectName(QStringLiteral("KeyHelp"));
    setWindowTitle(title + QStringLiteral(" Keys      "));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* text = new QTextBrowser(this);
    text->setFocusPolicy(Qt::NoFocus);
    text->setHtml(helpText());
    layout->addWidget(text);
    resize(470, 560);
}

void KeyHelpWindow::open()
{
    if (!m_placed && parentWidget() != nullptr) {
        // Designed place: beside the main window.
        const QRect main = parentWidget()->frameGeometry();
        move(main.right() + 8, main.top());
    }
    const int left = m_settings.readNumber("HelpLeft", -1);
    const int top = m_settings.readNumber("HelpTop", -1);
    if (!m_placed && left >= 0 && top >= 0) {
        move(left / kTwipsPerPixel, top / kTwipsPerPixel);
    }
    m_placed = true;
    show();
    raise();
}

void KeyHelpWindow::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        m_settings.writeNumber("HelpLeft", pos().x() * kTwipsPerPixel);
        m_settings.writeNumber("HelpTop", pos().y() * kTwipsPerPixel);
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

QString KeyHelpWindow::helpText()
{
    return QStringLiteral(
        "<h3>Keys of the main window</h3>"
        "<p>Most commands act on the displayed receiver while it is under remote control "
        "(<b>U</b> takes it, <b>L</b> gives it back).</p>"
        "<table cellspacing=2>"
        "<tr><td><b>7050.5</b> Enter</td><td>tune to the typed kHz (up to three decimals)</td></tr>"
        "<tr><td><b>10 +</b> / <b>10 -</b></td><td>tune 10 kHz up / down</td></tr>"
        "<tr><td><b>: 14000</b> Enter</td><td>tune to an ITU-spaced channel frequency</td></tr>"
        "<tr><td><b>D 15440</b> Enter</td><td>tune to a DRM centre frequency</td></tr>"
        "<tr><td>Esc</td><td>cancel the typed number or the pending letter</td></tr>"
        "<tr><td>Left / Right</td><td>step by the local step; Shift 1 Hz, Ctrl 10 Hz, Alt 100 Hz</td></tr>"
        "<tr><td>Up / Down</td><td>step by the band step; Shift 1 Hz, Ctrl 10 Hz, Alt 100 Hz</td></tr>"
        "<tr><td><b>n</b> Left/Right</td><td>local step becomes n Hz</td></tr>"
        "<tr><td>Home</td><td>tune exactly to the known frequency, or to the whole kHz</td></tr>"
        "<tr><td>pad + / -</td><td>next / previous band</td></tr>"
        "<tr><td>Ctrl pad + / -</td><td>next / previous known frequency</td></tr>"
        "<tr><td>Alt pad + / -</td><td>next / previous frequency of the same list</td></tr>"
        "<tr><td>Ctrl Alt pad + / -</td><td>next / previous list</td></tr>"
        "<tr><td><b>n C</b></td><td>recall memory channel n; <b>C</b> pad +/- next / previous channel</td></tr>"
        "<tr><td><b>n S</b></td><td>store the receiver's settings in channel n; <b>S</b> channel window</td></tr>"
        "<tr><td><b>n F</b></td><td>filter of n Hz; <b>F B</b> best filter</td></tr>"
        "<tr><td><b>M B</b></td><td>best mode</td></tr>"
        "<tr><td><b>n B</b></td><td>BFO of n Hz</td></tr>"
        "<tr><td><b>M</b> then A C U L F R X I</td><td>mode AM, CW, USB, LSB, FM, RTTY, FAX, ISB</td></tr>"
        "<tr><td><b>F</b> then 0 to 5</td><td>filter slot</td></tr>"
        "<tr><td><b>A</b> then F M S</td><td>AGC fast, medium, slow</td></tr>"
        "<tr><td><b>P</b> then 0 / 1</td><td>preselector off / on</td></tr>"
        "<tr><td>Ctrl+C / Ctrl+V</td><td>copy / paste the frequency in kHz</td></tr>"
        "<tr><td>Space / <b>G</b></td><td>log the settings / show the log</td></tr>"
        "<tr><td><b>R</b></td><td>next band-plan region</td></tr>"
        "<tr><td><b>K</b> / <b>E</b></td><td>known-frequency lists / station database</td></tr>"
        "<tr><td>Tab</td><td>next receiver</td></tr>"
        "<tr><td>Wheel</td><td>10 Hz steps, or the selected digit</td></tr>"
        "<tr><td>F1</td><td>this window; Esc closes it where it stands</td></tr>"
        "</table>");
}

}  // namespace tessaly
