// The serial contract on the fake backend, on virtual time: the far end is a line that
// delivers the bytes it is given at 9600 baud, detached to hang up, unplugged to go away.
#include "platform/fake/fake_platform.h"
#include "sim/sim.h"
#include "tests/platform/serial_contract.h"

namespace {

// A converter line whose far end sends what the test hands it, byte by byte at 9600 baud.
struct FarEnd : sim::SerialConverter {
    explicit FarEnd(sim::Bus *bus) : sim::SerialConverter(bus) {}
    void put(const uint8_t *bytes, int n)
    {
        for (int i = 0; i < n; i++) queue_to_host(fake::now_us() + (int64_t)(i + 1) * 10 * 1000000 / 9600, bytes[i]);
    }
};

sim::Bus Bus;
FarEnd Line(&Bus);

int send_bytes(const uint8_t *bytes, int n)
{
    Line.put(bytes, n);
    return 1;
}
int hang_up()
{
    fake::attach_serial("COM7", nullptr);
    return 1;
}
int remove_port()
{
    fake::unplug_serial("COM7");
    return 1;
}

}  // namespace

int main()
{
    fake::reset();
    fake::attach_serial("COM7", &Line);
    const SerialPeer peer = {"COM7", send_bytes, hang_up, remove_port};
    const int failed = serial_contract_run(&peer);
    fake::reset();
    return failed == 0 ? 0 : 1;
}
