// Shared set-up of vokmon's window scenarios: a simulated bus behind a fake COM1 or a fake
// network converter on loopback, a headless main window, and the requests the bus heard.
#ifndef VOK_TESTS_UI_FIXTURE_H
#define VOK_TESTS_UI_FIXTURE_H

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/state.h"
#include "app/title_menu.h"
#include "link/exchange.h"
#include "link/net_link.h"
#include "link/serial_port.h"
#include "platform/fake/fake_platform.h"
#include "platform/headless/ui_headless.h"
#include "resources/resource_ids.h"
#include "sim/sim.h"

class UiFixture : public ::testing::Test {
protected:
    sim::Bus bus;
    // Converters are made afresh by every SetUp: they remember line times, and the clock
    // starts again at 0.
    std::unique_ptr<sim::SerialConverter> conv;
    std::unique_ptr<sim::NetConverter> netconv;
    UiWindow window = nullptr;
    std::vector<std::string> requests;  // every frame the modules heard, CR dropped

    void SetUp() override
    {
        fake::reset();
        headless::reset();
        state_reset();
        main_window_features = MainWindowFeatures{};
        window = headless::new_window();
        main_window.hwnd = window;
        link_set_change_handler(title_menu_link_changed);
        bus.modules.clear();
        requests.clear();
        conv = std::make_unique<sim::SerialConverter>(&bus);
        netconv = std::make_unique<sim::NetConverter>(&bus);
        fake::attach_serial("COM1", conv.get());
        bus.on_traffic = [this](int64_t, bool request, const std::vector<uint8_t> &b) {
            if (request) requests.emplace_back(b.begin(), b.end() - (b.empty() || b.back() != '\r' ? 0 : 1));
        };
    }

    sim::Module &add_module(int address, int model, uint8_t type_code = 0)
    {
        return bus.add(sim::make_module(static_cast<uint8_t>(address), model, type_code));
    }

    void open_serial(int type, int baud_index, sim::ConverterKind kind = sim::ConverterKind::Rs232)
    {
        link_settings.converter_type = type;
        link_settings.baud_index = baud_index;
        conv->set_kind(kind);
        for (auto &m : bus.modules) m.baud_code = static_cast<uint8_t>(4 + baud_index);
        ASSERT_EQ(port_open(), 1);
    }

    void attach_net(int baud_index, uint16_t port = 10001)
    {
        netconv->line_baud = static_cast<uint32_t>(BaudTable[baud_index]);
        for (auto &m : bus.modules) m.baud_code = static_cast<uint8_t>(4 + baud_index);
        fake::attach_tcp(sim::ip4(127, 0, 0, 1), port, netconv.get());
    }

    void open_net(int baud_index, uint16_t port = 10001)
    {
        attach_net(baud_index, port);
        link_settings.converter_type = CONVERTER_NET;
        link_settings.baud_index = baud_index;
        snprintf(net_state.host_text, sizeof net_state.host_text, "127.0.0.1");
        net_state.port_entered = port;
        ASSERT_EQ(net_open(), 0);
    }

    // The requests with the repeats of one exchange (retransmissions) folded.
    std::vector<std::string> distinct_requests() const
    {
        std::vector<std::string> out;
        for (const auto &r : requests)
            if (out.empty() || out.back() != r) out.push_back(r);
        return out;
    }

    int count_requests(const std::string &frame) const
    {
        int n = 0;
        for (const auto &r : requests) n += r == frame;
        return n;
    }

    // The texts of the message boxes shown so far.
    static std::vector<std::string> box_texts()
    {
        std::vector<std::string> out;
        for (const auto &b : headless::boxes()) out.push_back(b.text);
        return out;
    }

    static headless::Window &win(UiWindow w) { return headless::window(w); }
};

#endif
