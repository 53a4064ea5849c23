// Driver scenarios: the library's core on the fake serial backend, a simulated bus behind
// COM1 (and COM2), virtual time. Helpers read back what went over the line and the waits.
#ifndef VOK_TEST_DRIVER_FIXTURE_H
#define VOK_TEST_DRIVER_FIXTURE_H

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "driver/driver_state.h"
#include "driver/vok3900d.h"
#include "platform/fake/fake_platform.h"
#include "sim/sim.h"

class DriverTest : public ::testing::Test {
protected:
    sim::Bus bus;
    sim::SerialConverter conv{&bus};   // on COM1
    sim::SerialConverter conv2{&bus};  // on COM2, the same bus

    void SetUp() override
    {
        fake::reset();
        setenv("VOK3900D_COM1", "COM1", 1);
        setenv("VOK3900D_COM2", "COM2", 1);
        driver_attach();
        fake::attach_serial("COM1", &conv);
        fake::attach_serial("COM2", &conv2);
    }

    void TearDown() override
    {
        driver_attach();
        driver_close_port();
    }

    // Module at `address` of `model` (added before any reference into bus.modules is kept).
    sim::Module &add_module(uint8_t address, int model, uint8_t type_code = 0)
    {
        return bus.add(sim::make_module(address, model, type_code));
    }
    static void add_sensors(sim::Module &m, int channel, int count, uint8_t family = 0x28)
    {
        for (int i = 0; i < count; i++)
            m.channels[channel].units.push_back(
                sim::make_sensor(family, (uint32_t)(channel * 100 + i + 1), 20.0 + i));
    }

    // Opens COM1, then forgets the open's own traffic and waits.
    void open(int baud_index = 3, int line_mode = 0)
    {
        ASSERT_EQ(vok_com_open(1, baud_index, line_mode), VOK_OK);
        fake::clear_serial_log("COM1");
        fake::clear_sleep_log();
    }

    // Each transmission as text (the per-byte path logs one Write per byte).
    static std::vector<std::string> writes(const std::string &port = "COM1")
    {
        std::vector<std::string> out;
        for (const auto &e : fake::serial_log(port))
            if (e.kind == fake::SerialEvent::Write)
                out.emplace_back(e.bytes.begin(), e.bytes.end());
        return out;
    }
    // The byte counts asked by each read.
    static std::vector<int> read_counts(const std::string &port = "COM1")
    {
        std::vector<int> out;
        for (const auto &e : fake::serial_log(port))
            if (e.kind == fake::SerialEvent::Read)
                out.push_back(e.value);
        return out;
    }
    // The bytes the last read returned.
    static std::vector<uint8_t> last_read(const std::string &port = "COM1")
    {
        const auto &log = fake::serial_log(port);
        for (auto it = log.rbegin(); it != log.rend(); ++it)
            if (it->kind == fake::SerialEvent::Read)
                return it->bytes;
        return {};
    }
    static std::vector<int> sleeps() { return fake::sleep_log(); }

    // Changes the faults of the module at `address` when `request` reaches the bus, so a
    // module can stop answering (or answer badly) part-way through a call.
    void on_request(const std::string &request, uint8_t address, std::function<void(sim::Module &)> change)
    {
        bus.on_traffic = [this, request, address, change](int64_t, bool to_bus, const std::vector<uint8_t> &b) {
            if (to_bus && std::string(b.begin(), b.end()) == request)
                if (sim::Module *m = bus.find(address))
                    change(*m);
        };
    }
};

#endif
