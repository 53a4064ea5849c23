// Shared set-up of the link scenario tests: a simulated bus behind a fake COM1 or a fake
// network converter on loopback, a headless main window, and readers for the fake's logs.
#ifndef VOK_TESTS_LINK_FIXTURE_H
#define VOK_TESTS_LINK_FIXTURE_H

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/state.h"
#include "app/title_menu.h"
#include "link/exchange.h"
#include "link/net_link.h"
#include "link/serial_port.h"
#include "platform/fake/fake_platform.h"
#include "platform/headless/ui_headless.h"
#include "sim/sim.h"

class LinkFixture : public ::testing::Test {
protected:
    sim::Bus bus;
    sim::SerialConverter conv{&bus};
    sim::NetConverter netconv{&bus};
    UiWindow window = nullptr;

    void SetUp() override {
        fake::reset();
        headless::reset();
        state_reset();
        window = headless::new_window();
        main_window.hwnd = window;
        link_set_change_handler(title_menu_link_changed);
        fake::attach_serial("COM1", &conv);
    }

    sim::Module &module(int address = 1) {
        sim::Module *m = bus.find((uint8_t)address);
        return m ? *m : bus.add(sim::make_module((uint8_t)address, 4560));
    }

    // Opens COM1 for converter `type` at `baud_index`; logs start empty afterwards.
    void open_serial(int type, int baud_index, sim::ConverterKind kind = sim::ConverterKind::Rs232,
                     bool echo = false) {
        link_settings.converter_type = type;
        link_settings.baud_index = baud_index;
        conv.set_kind(kind);
        conv.echo = echo;
        for (auto &m : bus.modules) m.baud_code = (uint8_t)(4 + baud_index);
        ASSERT_EQ(port_open(), 1);
        fake::clear_sleep_log();
        fake::clear_serial_log("COM1");
    }

    // Connects to the network converter at 127.0.0.1:10001.
    void open_net(int baud_index) {
        link_settings.converter_type = CONVERTER_NET;
        link_settings.baud_index = baud_index;
        netconv.line_baud = (uint32_t)BaudTable[baud_index];
        for (auto &m : bus.modules) m.baud_code = (uint8_t)(4 + baud_index);
        fake::attach_tcp(sim::ip4(127, 0, 0, 1), 10001, &netconv);
        snprintf(net_state.host_text, sizeof net_state.host_text, "127.0.0.1");
        net_state.port_entered = 10001;
        ASSERT_EQ(net_open(), 0);
        fake::clear_sleep_log();
        fake::clear_net_log();
    }

    static std::vector<int> sleeps() { return fake::sleep_log(); }

    static std::vector<fake::SerialEvent> events(fake::SerialEvent::Kind kind) {
        std::vector<fake::SerialEvent> out;
        for (const auto &e : fake::serial_log("COM1"))
            if (e.kind == kind) out.push_back(e);
        return out;
    }

    static std::vector<std::vector<uint8_t>> frames_written() {
        std::vector<std::vector<uint8_t>> out;
        for (const auto &e : events(fake::SerialEvent::Write)) out.push_back(e.bytes);
        return out;
    }

    static std::vector<std::vector<uint8_t>> frames_sent() {
        std::vector<std::vector<uint8_t>> out;
        for (const auto &e : fake::net_log())
            if (e.kind == fake::NetEvent::Send) out.push_back(e.bytes);
        return out;
    }

    static std::string rx(int from, int n) {
        return std::string(reinterpret_cast<const char *>(RxBuffer) + from, (size_t)n);
    }

    static std::vector<uint8_t> bytes(const char *s) {
        return std::vector<uint8_t>(s, s + strlen(s));
    }
};

#endif
