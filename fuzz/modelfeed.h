// The receive path of one model driver, fed without a link: the link counts
// as open, the connect dialogue is skipped, every command the driver sends
// is taken as written, and the input arrives in the pieces Pieces cuts it
// into, each through the receive handling as a link's read would bring it.
// A poll tick follows, so the state the replies left is acted upon.
#pragma once

#include <QCoreApplication>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "driver/core/driverevents.h"
#include "fuzzsupport.h"

namespace fuzz {

// Every driver event taken and dropped; the driver's own checks are what
// the fuzzer watches.
using QuietOwner = quorvin::IgnoringDriverEvents;

template <class Model>
class FedReceiver : public Model {
public:
    explicit FedReceiver(quorvin::DriverEvents* owner) : Model(owner) {}

    void open() { this->LinkOpened(); }
    void deliver(std::string_view bytes) { this->ReceiveBytes(std::string(bytes), 0); }
    void tick(std::uint32_t now)
    {
        const bool channelOpen = true;
        this->PollTick(now, &channelOpen);
    }
    quorvin::ConnErr RxOpen() override { return quorvin::ConnectRxComPending; }

protected:
    bool SendText(std::string_view) override { return true; }
};

// A Qt application object (timers of the driver) and time that never waits.
inline void setUpDriverRun()
{
    static bool done = [] {
        static int argc = 1;
        static char name[] = "korvane-fuzz";
        static char* argv[] = {name, nullptr};
        new QCoreApplication(argc, argv);  // lives as long as the process
        installFakeTime();
        return true;
    }();
    (void)done;
}

template <class Model>
void feedReceiver(const std::uint8_t* data, std::size_t size)
{
    setUpDriverRun();
    QuietOwner owner;
    FedReceiver<Model> rx(&owner);
    rx.open();
    Pieces pieces(data, size);
    for (std::string_view piece = pieces.next(); !piece.empty(); piece = pieces.next()) {
        rx.deliver(piece);
    }
    rx.tick(1000);
    rx.deliver("\r\n");
}

}  // namespace fuzz
