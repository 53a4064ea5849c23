// Digital IO dialog of model 4500 on virtual time: the bytes written and read, lamps and
// boxes following 0 = on, the patrol once a second, stuck outputs and silence.
#include "maintenance/digital_io.h"
#include "platform/clock.h"
#include "tests/maintenance/found_modules.h"

namespace {

class DigitalIoDialog : public FoundModules {
protected:
    sim::Module *io = nullptr;

    void SetUp() override
    {
        FoundModules::SetUp();
        selected = 1;
        main_window_features.digital_io = &digital_io_handlers;
        add_module(0x01, 4560);
        io = &add_module(0x04, 4500);
        io->digital_in = 0xF0;
        io->digital_out = 0x5A;
    }

    void run(std::function<void(UiWindow)> session)
    {
        headless::on_dialog(IDD_DIGITAL_IO, std::move(session));
        main_window_on_command(window, IDM_IO);
    }

    static void check_boxes(UiWindow d, uint8_t checked) { check_bits(d, IDC_DIO_OUT0, checked); }
    // Lamps lit and boxes checked, as bit masks (bit i = lamp or box i).
    static int lamps(UiWindow d) { return bits_of(d, IDC_DIO_LAMP0, &headless::Control::shown); }
    static int boxes(UiWindow d) { return bits_of(d, IDC_DIO_OUT0, &headless::Control::checked); }
};

TEST_F(DigitalIoDialog, OpensOnTheStoredBytesWithoutTraffic)
{
    open();
    ASSERT_EQ(module_table.module[1].itu_count[0], 0xF0);
    ASSERT_EQ(module_table.module[1].itu_count[1], 0x5A);
    run([&](UiWindow d) {
        EXPECT_EQ(win(d).ctl(IDC_DIO_IN_BYTE).text, "F0");
        EXPECT_EQ(win(d).ctl(IDC_DIO_OUT_BYTE).text, "5A");
        EXPECT_EQ(lamps(d), 0x0F);  // inputs 0-3 are on (0 bits)
        EXPECT_EQ(boxes(d), 0xA5);
        EXPECT_TRUE(win(d).ctl(IDC_DIO_NORMAL).checked);
        EXPECT_FALSE(win(d).ctl(IDC_DIO_PATROL).checked);
        EXPECT_EQ(win(d).focus, IDC_DIO_REFRESH);
    });
    EXPECT_EQ(headless::dialogs_run(), std::vector<int>{IDD_DIGITAL_IO});
    EXPECT_TRUE(requests.empty());

    // The menu item opens nothing for a module of another model.
    module_table.current = 0;
    main_window_on_command(window, IDM_IO);
    EXPECT_EQ(headless::dialogs_run().size(), 1u);
}

TEST_F(DigitalIoDialog, RefreshWritesTheBoxesThenReadsTheInputs)
{
    struct Row { uint8_t checked, written; std::string frame; };
    const Row rows[] = {
        {0xFF, 0x00, std::string("/04\0", 4)},
        {0x00, 0xFF, "/04\xFF"},
        {0x81, 0x7E, "/04~"},
        {0x02, 0xFD, "/04\xFD"},
    };
    for (int echo : {0, 1}) {
        SetUp();
        open(echo);
        for (const Row &r : rows) {
            SCOPED_TRACE(r.written);
            io->digital_in = static_cast<uint8_t>(~r.written ^ 0x0F);
            requests.clear();
            run([&](UiWindow d) {
                check_boxes(d, r.checked);
                EXPECT_EQ(digital_io_output_byte(d), r.written);
                headless::click(d, IDC_DIO_REFRESH);
                EXPECT_EQ(boxes(d), r.checked);
                EXPECT_EQ(lamps(d), static_cast<uint8_t>(r.written ^ 0x0F));
                char text[4];
                snprintf(text, sizeof text, "%02X", r.written);
                EXPECT_EQ(win(d).ctl(IDC_DIO_OUT_BYTE).text, text);
            });
            ASSERT_EQ(requests.size(), 2u);
            EXPECT_EQ(requests[0], r.frame);
            EXPECT_EQ(requests[1], "#040");
            EXPECT_EQ(io->digital_out, r.written);
            EXPECT_EQ(module_table.module[1].itu_count[1], r.written);
            EXPECT_TRUE(headless::boxes().empty());
        }
    }
}

TEST_F(DigitalIoDialog, StuckOutputKeepsTheStoredByteWithoutAMessage)
{
    open();
    io->faults.stuck_outputs = 0x02;  // output 1 stays off (1) whatever is written
    run([&](UiWindow d) {
        check_boxes(d, 0x03);
        headless::click(d, IDC_DIO_REFRESH);
        EXPECT_EQ(win(d).ctl(IDC_DIO_OUT_BYTE).text, "5A");
        EXPECT_EQ(boxes(d), 0xA5);  // the boxes show the byte last confirmed
    });
    EXPECT_EQ(io->digital_out, 0xFE);
    EXPECT_EQ(distinct_requests(), (std::vector<std::string>{"/04\xFC", "#040"}));
    EXPECT_TRUE(headless::boxes().empty());
}

TEST_F(DigitalIoDialog, SilenceOrRefusalStopsAtTheFirstRequestWithOneMessage)
{
    open();
    for (bool silent : {true, false}) {
        SCOPED_TRACE(silent);
        io->faults.silent = silent;
        io->faults.wrong_lead = !silent;
        headless::boxes().clear();
        requests.clear();
        run([&](UiWindow d) {
            check_boxes(d, 0x00);
            headless::click(d, IDC_DIO_REFRESH);
            EXPECT_EQ(win(d).ctl(IDC_DIO_OUT_BYTE).text, "5A");
        });
        ASSERT_EQ(headless::boxes().size(), 1u);
        EXPECT_EQ(headless::boxes()[0].text, "模块未应答，请重试一次!");
        EXPECT_EQ(headless::boxes()[0].caption, "系统提示");
        EXPECT_EQ(headless::boxes()[0].flags, UI_MB_OK | UI_ICON_WARNING);
        EXPECT_EQ(distinct_requests(), std::vector<std::string>{"/04\xFF"});
    }
}

TEST_F(DigitalIoDialog, PatrolMirrorsTheInputsOncePerSecondUntilAnotherClick)
{
    open();
    std::vector<uint32_t> tick_times;
    run([&](UiWindow d) {
        headless::click(d, IDC_DIO_PATROL);
        ui_check(d, IDC_DIO_NORMAL, 0);
        ui_check(d, IDC_DIO_PATROL, 1);
        EXPECT_EQ(digital_io.patrol, 1);
        const uint32_t start = now_ms();
        for (uint8_t in : {0xF0, 0x3C, 0x00}) {
            io->digital_in = in;
            headless::run_timers(d, 1);
            tick_times.push_back(now_ms() - start);
            EXPECT_EQ(io->digital_out, in);
            EXPECT_EQ(lamps(d), static_cast<uint8_t>(~in));
            EXPECT_EQ(boxes(d), static_cast<uint8_t>(~in));
        }
        // An output box stops the patrol: no tick, no traffic.
        headless::click(d, IDC_DIO_OUT0 + 3);
        EXPECT_EQ(digital_io.patrol, 0);
        EXPECT_TRUE(win(d).timers.empty());
        const size_t heard = requests.size();
        sleep_ms(5000);
        EXPECT_EQ(requests.size(), heard);
        // Refresh with the patrol mode still chosen starts it again, without a write of its own.
        headless::click(d, IDC_DIO_REFRESH);
        EXPECT_EQ(digital_io.patrol, 1);
        EXPECT_EQ(requests.size(), heard);
        io->digital_in = 0xAA;
        headless::run_timers(d, 1);
        EXPECT_EQ(io->digital_out, 0xAA);
        headless::click(d, IDC_DIO_EXIT);
        EXPECT_TRUE(win(d).timers.empty());
    });
    // The timer is set again 1000 ms after the end of each step: a step of s ms ends at
    // 1000 + s, the next at 2 x (1000 + s) (virtual time counts in microseconds: +-1 ms).
    ASSERT_EQ(tick_times.size(), 3u);
    const uint32_t step = tick_times[0] - 1000;
    EXPECT_LT(step, 1000u);
    EXPECT_NEAR(tick_times[1] - tick_times[0], 1000 + step, 1);
    EXPECT_NEAR(tick_times[2] - tick_times[1], 1000 + step, 1);
    EXPECT_EQ(distinct_requests(), (std::vector<std::string>{"#040", "/04\xF0", "#040", "/04\x3C", "#040",
                                                             std::string("/04\0", 4), "#040", "/04\xAA"}));
    EXPECT_TRUE(headless::boxes().empty());
    EXPECT_EQ(digital_io.patrol, 0);
}

TEST_F(DigitalIoDialog, PatrolFailuresAreSilentAndTheTimerRunsOn)
{
    open();
    run([&](UiWindow d) {
        headless::click(d, IDC_DIO_PATROL);
        io->faults.silent = true;
        io->digital_in = 0x00;
        headless::run_timers(d, 2);
        EXPECT_EQ(win(d).ctl(IDC_DIO_IN_BYTE).text, "F0");
        EXPECT_EQ(win(d).timers.count(TIMER_DIO_PATROL), 1u);
        io->faults.silent = false;
        headless::run_timers(d, 1);
        EXPECT_EQ(win(d).ctl(IDC_DIO_IN_BYTE).text, "00");
        headless::close(d);
        EXPECT_TRUE(win(d).timers.empty());
    });
    EXPECT_TRUE(headless::boxes().empty());
    EXPECT_EQ(digital_io.patrol, 0);
}

}  // namespace
