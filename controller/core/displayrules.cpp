// Display rules of the main window.
#include "displayrules.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "platform/numbers.h"

namespace tessaly {

using namespace quorvin;

BandAdvice bandAdvice(lumaret::IFrequencyData& data, double f, int receiverStep)
{
    BandAdvice a;
    const auto hz = static_cast<std::int32_t>(std::llround(f));
    std::int32_t found = 0;
    data.get_BandLook(hz, &found);
    std::int16_t step = 0;
    data.get_BandStep(&step);
    a.bandStep = std::max<int>(step, receiverStep);

    std::int32_t known = 0;
    data.get_FreqLook(hz, 250, &known);
    if (known != 0) {
        a.known = true;
        std::int32_t exact = hz;
        data.get_FreqExact(&exact);
        a.diff = static_cast<std::int16_t>(exact - hz);
        std::string name, info, supp;
        data.get_FreqName(&name);
        data.get_FreqInfo(&info);
        data.get_FreqSupp(&supp);
        a.text = QString::fromStdString(name);
        if (!info.empty()) {
            a.text +=
                QStringLiteral(" - ") + QString::fromStdString(info) + QLatin1Char(' ') + QString::fromStdString(supp);
        }
        if (a.diff != 0) {
            a.tint = std::abs(a.diff) > 50 ? Tint::Orange : Tint::Yellow;
            a.showDiff = true;
        }
        lumaret::BESTMODE mode = lumaret::ModeNone;
        std::int16_t filter = 0;
        data.get_FreqMode(&mode);
        data.get_FreqFilter(&filter);
        a.bestMode = mode;
        a.bestFilter = filter;
    } else {
        std::string name;
        data.get_BandName(&name);
        a.text = QString::fromStdString(name);
        lumaret::BESTMODE mode = lumaret::ModeNone;
        std::int16_t filter = 0;
        data.get_BandMode(&mode);
        data.get_BandFilter(&filter);
        a.bestMode = mode;
        a.bestFilter = filter;
    }
    return a;
}

MODTYPE autoMode(int bestMode, MODTYPE current)
{
    if (bestMode < 0 || bestMode >= 7 || bestMode == current) {
        return ModNone;
    }
    const MODTYPE mode = bestMode >= lumaret::ModeRTTY ? ModUSB : static_cast<MODTYPE>(bestMode);
    return mode == current ? ModNone : mode;
}

MaskText connectionMask(ConnErr err)
{
    switch (err) {
    case ConnectLnLoopError: return {QStringLiteral("Link: No loop"), Tint::Orange};
    case ConnectLnTimeOut: return {QStringLiteral("Link: Timeout"), Tint::Orange};
    case ConnectLnBadAddr: return {QStringLiteral("Link: Bad address"), Tint::Red};
    case ConnectLnDatError: return {QStringLiteral("Link: Configuration"), Tint::Red};
    case ConnectLnOpnError: return {QStringLiteral("Link: Cannot open"), Tint::Orange};
    case ConnectLnAnyError: return {QStringLiteral("Link: Error"), Tint::Orange};
    case ConnectRxIdenError: return {QStringLiteral("Rx: Bad ID"), Tint::Red};
    case ConnectRxBadAddr: return {QStringLiteral("Rx: Bad Address"), Tint::Red};
    case ConnectRxBiteError: return {QStringLiteral("Rx: BITE Error"), Tint::Red};
    default: return {QStringLiteral("Rx: Not responding"), Tint::Orange};
    }
}

QString channelText(int channel, int channelCount)
{
    const int width = channelCount > 100 ? 3 : 2;
    if (channel < 0) {
        return QString(width, QLatin1Char('-'));
    }
    return QString::number(channel).rightJustified(width, QLatin1Char('0'));
}

QString khzFixed(double hz)
{
    return QString::fromStdString(platform::formatFixed(hz / 1000.0, 3));
}

QString khzShort(double hz)
{
    QString text = khzFixed(hz);
    while (text.endsWith(QLatin1Char('0'))) {
        text.chop(1);
    }
    if (text.endsWith(QLatin1Char('.'))) {
        text.chop(1);
    }
    return text;
}

std::optional<double> parseKhz(const QString& text)
{
    const QString t = text.trimmed();
    if (t.isEmpty()) {
        return std::nullopt;
    }
    const auto v = platform::parseDouble(t.toStdString());
    if (!v || !std::isfinite(*v)) {
        return std::nullopt;
    }
    return v;
}

}  // namespace tessaly
