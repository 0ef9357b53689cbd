// What the main window shows, computed without a window: the band and
// known-frequency information for a frequency, the automatic mode rule,
// the texts of connection errors and memory channels, and locale-free
// kilohertz texts.
#pragma once

#include <QString>

#include <optional>

#include "interfaces/ifrequencydata.h"
#include "interfaces/receivertypes.h"

namespace tessaly {

enum class Tint { Neutral, Orange, PaleOrange, LightCyan, Yellow, Red, Green, Grey };

struct BandAdvice {
    QString text;  // band plan or known-frequency name
    Tint tint = Tint::LightCyan;  // text colour of the band label
    bool showDiff = false;  // offset from a known frequency shown
    int diff = 0;  // known frequency minus f, Hz
    bool known = false;  // a known frequency within 250 Hz
    int bestMode = lumaret::ModeNone;
    int bestFilter = 0;
    int bandStep = 0;  // the band's step (at least the receiver's)
};

// Looks f (Hz) up in the band plan and the known-frequency lists.
BandAdvice bandAdvice(lumaret::IFrequencyData& data, double f, int receiverStep);

// The mode automatic tuning sets for a best mode, or ModNone when it sets
// none: no advice, advice equal to the current mode, or no such mode.
// RTTY and FAX are received in USB.
quorvin::MODTYPE autoMode(int bestMode, quorvin::MODTYPE current);

struct MaskText {
    QString text;
    Tint tint;
};
// The text laid over the digits for a connection error.
MaskText connectionMask(quorvin::ConnErr err);
inline const char* kNotConnected = "Not connected";
// Shown while a receiver's connect dialogue runs.
inline const char* kConnecting = "Connecting...";

// A memory channel number: two digits, three with more than 100 channels;
// dashes for none.
QString channelText(int channel, int channelCount);

// Hz as kHz with three decimals ("7050.123").
QString khzFixed(double hz);
// Hz as kHz with only the decimals needed ("7050.5", "7050").
QString khzShort(double hz);
// A kilohertz text typed or pasted ("7050.5", " 7050 "), read without the
// locale; nothing for anything else.
std::optional<double> parseKhz(const QString& text);

}  // namespace tessaly
