// Main window logic on the headless backend: creation, snapping, the grid and its hit test,
// the menu commands and their conditions, the fault advice and the close sequence.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "app/settings.h"
#include "display/module_grid.h"
#include "tests/ui/ui_fixture.h"

namespace {

struct MainWindowTest : UiFixture {
    std::filesystem::path dir;
    void SetUp() override
    {
        UiFixture::SetUp();
        dir = std::filesystem::temp_directory_path() / ("vokmon_ui_" + std::to_string(getpid()));
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        headless::set_current_directory(dir.string());
    }
    void TearDown() override
    {
        std::error_code ec;
        std::filesystem::current_path(std::filesystem::temp_directory_path(), ec);
        std::filesystem::remove_all(dir, ec);
    }
    void write_cfg(const std::vector<uint8_t> &bytes)
    {
        std::ofstream f(dir / "vokcfg.cfg", std::ios::binary);
        f.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    std::vector<uint8_t> read_cfg()
    {
        std::ifstream f(dir / "vokcfg.cfg", std::ios::binary);
        return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), {});
    }
    // Three modules found by a search; module 1 selected.
    void three_modules()
    {
        module_table.count = 3;
        module_table.ready = 1;
        module_table.current = 1;
        int models[] = {4101, 4560, 9999};
        for (int i = 0; i < 3; ++i) {
            module_table.module[i].address = static_cast<uint8_t>(0x10 + i);
            module_table.module[i].model = models[i];
        }
    }
};

int g_runs;
void count_init(UiWindow d)
{
    g_runs++;
    ui_end_dialog(d, 0);
}
const UiDialogHandlers CountingDialog = {count_init, nullptr, nullptr, nullptr};

int g_curve_paints;
void count_curve_paint(UiWindow, GfxCanvas) { g_curve_paints++; }

TEST_F(MainWindowTest, CreateLoadsSettingsOrFallsBackWithOneNotice)
{
    // 15 bytes count as unreadable.
    write_cfg(std::vector<uint8_t>(15, 3));
    ASSERT_EQ(main_window_on_create(window), 0);
    ASSERT_EQ(headless::boxes().size(), 1u);
    EXPECT_EQ(headless::boxes()[0].text, "通讯配置读取错误，调用缺省配置!");
    EXPECT_EQ(headless::boxes()[0].caption, "系统提示");
    EXPECT_EQ(link_settings.com_port, 1);
    EXPECT_EQ(link_settings.baud_index, 2);
    EXPECT_EQ(link_settings.reply_wait_ms, 50);
    EXPECT_EQ(std::string(main_window.start_dir), dir.string());
    // Closed link: 100 and 108 on, the module commands grey.
    EXPECT_TRUE(win(window).menu_enabled[IDM_COMM]);
    EXPECT_TRUE(win(window).menu_enabled[IDM_EXIT]);
    EXPECT_FALSE(win(window).menu_enabled[IDM_SEARCH]);
    EXPECT_FALSE(win(window).menu_enabled[IDM_RESET]);

    // A full file is taken without a word.
    SetUp();
    write_cfg({3, 4, 7, 0, 127, 0, 0, 1, 0x10, 0x27, 2, 0, 0xC8, 0x00, 0, 0});
    module_table.count = 5;
    ASSERT_EQ(main_window_on_create(window), 0);
    EXPECT_TRUE(headless::boxes().empty());
    EXPECT_EQ(link_settings.com_port, 3);
    EXPECT_EQ(link_settings.converter_type, 7);
    EXPECT_EQ(link_settings.reply_wait_ms, 200);
    EXPECT_EQ(module_table.count, 0);
}

TEST_F(MainWindowTest, NarrowScreenEndsTheProgramWithoutTouchingSettings)
{
    headless::set_screen_width(799);
    EXPECT_EQ(main_window_on_create(window), -1);
    ASSERT_EQ(headless::boxes().size(), 1u);
    EXPECT_EQ(headless::boxes()[0].text, "Your Screen size must > 800 X 600!");
    EXPECT_EQ(headless::boxes()[0].caption, "错误提示!");
    EXPECT_EQ(headless::beeps(), std::vector<int>{UI_BEEP_WARNING});
    EXPECT_EQ(headless::quits().size(), 1u);
    EXPECT_EQ(main_window.start_dir[0], 0);
    EXPECT_TRUE(win(window).menu_enabled.empty());
}

TEST_F(MainWindowTest, ResizingSnapsBackToTheFirstRectangle)
{
    main_window_on_create(window);
    UiRect first = win(window).window_rect;
    win(window).window_rect = UiRect{0, 0, 1200, 900};
    main_window_on_size(window);
    EXPECT_EQ(win(window).window_rect.right, first.right);
    EXPECT_EQ(win(window).window_rect.bottom, first.bottom);
    EXPECT_EQ(win(window).window_rect.left, first.left);
}

TEST_F(MainWindowTest, ModuleCommandsDoNothingBeforeASearch)
{
    main_window_features.module_params = &CountingDialog;
    main_window_features.data_display = &CountingDialog;
    main_window_features.realtime_paint = count_curve_paint;
    g_runs = 0;
    main_window_on_create(window);
    for (int id : {IDM_PARAMS, IDM_DATA, IDM_REALTIME}) main_window_on_command(window, id);
    main_window_on_lbutton(window, 25, 25);
    main_window_on_dblclk(window, 25, 25);
    main_window_on_rbutton(window, 25, 25);
    EXPECT_EQ(g_runs, 0);
    EXPECT_EQ(real_time.active, 0);
    EXPECT_TRUE(headless::boxes().size() <= 1u);  // only the settings notice

    three_modules();
    main_window_on_command(window, IDM_PARAMS);
    main_window_on_command(window, IDM_DATA);
    EXPECT_EQ(g_runs, 2);
    EXPECT_EQ(headless::dialogs_run(), (std::vector<int>{IDD_MODULE_PARAMS, IDD_DATA_DISPLAY}));
}

TEST_F(MainWindowTest, ClicksSelectOnlyInsideACellThatHoldsAModule)
{
    main_window_on_create(window);
    three_modules();
    int before = win(window).invalidations;
    main_window_on_lbutton(window, 20 + 32 + 1, 30);  // gap right of cell 0
    main_window_on_lbutton(window, 30, 20 + 32 + 1);  // gap below row 0
    main_window_on_lbutton(window, 20 + 3 * 82 + 5, 30);  // cell 3: no module there
    main_window_on_lbutton(window, 19, 30);             // left of the first cell
    EXPECT_EQ(module_table.current, 1);
    EXPECT_EQ(win(window).invalidations, before);

    main_window_on_lbutton(window, 20 + 2 * 82 + 32, 20);  // last pixel of cell 2
    EXPECT_EQ(module_table.current, 2);
    EXPECT_EQ(win(window).invalidations, before + 1);
    EXPECT_EQ(hit_test_module(20, 20), -2);
    EXPECT_EQ(hit_test_module(20, 20 + 2 * 82), 0);
    EXPECT_EQ(hit_test_module(20 + 82, 20), -1);  // row 1: index 8 >= count
}

TEST_F(MainWindowTest, DoubleAndRightClickOpenTheirDialogsOnlyOnTheSelectedModule)
{
    main_window_features.module_params = &CountingDialog;
    main_window_features.data_display = &CountingDialog;
    main_window_on_create(window);
    three_modules();
    main_window_on_dblclk(window, 25, 25);   // module 0, not selected
    main_window_on_rbutton(window, 25, 25);
    EXPECT_TRUE(headless::dialogs_run().empty());
    main_window_on_dblclk(window, 20 + 82, 25);
    main_window_on_rbutton(window, 20 + 82, 25);
    EXPECT_EQ(headless::dialogs_run(), (std::vector<int>{IDD_DATA_DISPLAY, IDD_MODULE_PARAMS}));
}

TEST_F(MainWindowTest, GridDrawsOneIconPerModuleWithItsAddress)
{
    main_window_on_create(window);
    three_modules();
    GfxCanvas c = gfx_get_canvas(window);
    main_window_on_paint(window, c);
    auto &cv = win(window).canvas;
    ASSERT_EQ(cv.icons.size(), 3u);
    EXPECT_EQ(cv.icons[0].resource_id, IDI_4101);
    EXPECT_EQ(cv.icons[1].resource_id, IDI_4560_SEL);
    EXPECT_EQ(cv.icons[2].resource_id, IDI_MODULE_OTHER);
    EXPECT_EQ(cv.icons[1].x, 102);
    EXPECT_EQ(cv.icons[1].y, 20);
    ASSERT_EQ(cv.texts.size(), 3u);
    EXPECT_EQ(cv.texts[1].text, "11H");
    EXPECT_EQ(cv.texts[1].color, GFX_RGB(255, 0, 0));
    EXPECT_EQ(cv.texts[0].color, GFX_RGB(0, 0, 0));
    EXPECT_EQ(cv.texts[0].x, 20);
    EXPECT_EQ(cv.texts[0].y, 60);
    EXPECT_TRUE(cv.texts[0].transparent);

    // Without a search result only the white background is painted.
    cv.px.assign(cv.px.size(), GFX_RGB(1, 2, 3));
    cv.clear_records();
    module_table.ready = 0;
    main_window_on_paint(window, c);
    EXPECT_TRUE(cv.icons.empty());
    EXPECT_EQ(cv.at(25, 25), GFX_RGB(255, 255, 255));
    // Each model's pair of icon resources (selected, plain), and the shared one of the rest.
    const int pairs[][3] = {{3901, 126, 127}, {3902, 119, 120}, {3903, 122, 121}, {4101, 128, 129},
                            {4102, 130, 131}, {4103, 151, 152}, {4300, 156, 157}, {4301, 132, 133},
                            {4303, 154, 155}, {4500, 123, 124}, {4501, 140, 141}, {4560, 135, 136},
                            {4562, 162, 163}, {4563, 166, 167}, {4598, 159, 160}, {3900, 1002, 1002}};
    for (const auto &p : pairs) {
        EXPECT_EQ(module_icon_id(p[0], 1), p[1]) << p[0];
        EXPECT_EQ(module_icon_id(p[0], 0), p[2]) << p[0];
    }

    // The ninth module opens the second row; the address is two upper-case hex digits.
    module_table.ready = 1;
    module_table.count = 9;
    module_table.module[8].address = 0xAB;
    cv.clear_records();
    main_window_on_paint(window, c);
    ASSERT_EQ(cv.icons.size(), 9u);
    EXPECT_EQ(cv.icons[8].x, 20);
    EXPECT_EQ(cv.icons[8].y, 102);
    EXPECT_EQ(cv.texts[8].text, "ABH");
    EXPECT_EQ(cv.texts[8].y, 142);
    EXPECT_EQ(hit_test_module(102 + 32, 20 + 32), -2);
    EXPECT_EQ(hit_test_module(102 + 33, 20), -1);
}

TEST_F(MainWindowTest, FaultAdviceFollowsTheErrorAndWarningMasks)
{
    EXPECT_EQ(fault_advice_text(0x80, 1, 1), nullptr);
    EXPECT_EQ(fault_advice_text(0, 1, 0), nullptr);
    std::string error = fault_advice_text(5, 2, 0);
    std::string warning = fault_advice_text(5, 0, 2);
    std::string both = fault_advice_text(5, 1, 1);
    std::string neither = fault_advice_text(5, 0, 0);
    const std::string wiring = "1-- 此通道线缆太长，超过模块负载能力.\r\n2-- 此通道线缆存在不合理分支布线.\r\n"
                               "3-- 此通道线缆所处现场有强干扰源.\r\n\r\n";
    EXPECT_EQ(error, "此模块某通道有错误! \r\n请检查是否有以下错误:\r\n" + wiring +
                         "请查看<参数> -> <故障状态>指示.\r\n");
    EXPECT_EQ(warning, "此模块某通道有警告! \r\n请检查是否有以下警告:\r\n1-- 此通道传感器编号有重号!\r\n"
                       "请查看<参数> -> <故障状态>指示.\r\n");
    EXPECT_EQ(both, "此模块某通道有错误(或警告)! \r\n请检查是否有以下(错误):\r\n" + wiring +
                        "或请检查是否有以下(警告):\r\n4-- 此通道传感器编号有重号!\r\n"
                        "请查看<参数> -> <故障状态>指示.\r\n");
    EXPECT_EQ(neither, both);

    // The real-time command shows it once, then greys the menu; 0x80 shows nothing.
    main_window_features.realtime_paint = count_curve_paint;
    main_window_on_create(window);
    three_modules();
    module_table.module[1].fault_state = 3;
    module_table.module[1].chan_warning = 1;
    size_t boxes = headless::boxes().size();
    main_window_on_command(window, IDM_REALTIME);
    ASSERT_EQ(headless::boxes().size(), boxes + 1);
    EXPECT_EQ(headless::boxes().back().text, warning);
    EXPECT_EQ(headless::boxes().back().flags, UI_MB_OK | UI_ICON_WARNING);
    EXPECT_EQ(real_time.active, 1);
    EXPECT_EQ(real_time.module, 1);
    EXPECT_EQ(real_time.restart, 1);
    for (int id : {IDM_COMM, IDM_SEARCH, IDM_PARAMS, IDM_DATA, IDM_REALTIME, IDM_TERMINAL, IDM_IO, IDM_RESET})
        EXPECT_FALSE(win(window).menu_enabled[id]) << id;

    real_time.active = 0;
    module_table.module[1].fault_state = 0x80;
    main_window_on_command(window, IDM_REALTIME);
    EXPECT_EQ(headless::boxes().size(), boxes + 1);
}

TEST_F(MainWindowTest, CurveViewTakesOverTheWindowAndTheMouse)
{
    main_window_features.module_params = &CountingDialog;
    main_window_features.data_display = &CountingDialog;
    main_window_on_create(window);
    three_modules();
    // A build without the curve view leaves the command alone instead of greying the menu.
    main_window_on_command(window, IDM_REALTIME);
    EXPECT_EQ(real_time.active, 0);
    EXPECT_TRUE(win(window).menu_enabled[IDM_COMM]);

    main_window_features.realtime_paint = count_curve_paint;
    g_curve_paints = 0;
    main_window_on_command(window, IDM_REALTIME);
    ASSERT_EQ(real_time.active, 1);
    main_window_on_paint(window, gfx_get_canvas(window));
    EXPECT_EQ(g_curve_paints, 1);
    EXPECT_TRUE(win(window).canvas.icons.empty());
    // The grid is hidden: clicks where its cells were neither select nor open anything.
    main_window_on_lbutton(window, 25, 25);
    main_window_on_dblclk(window, 20 + 82, 25);
    main_window_on_rbutton(window, 20 + 82, 25);
    EXPECT_EQ(module_table.current, 1);
    EXPECT_TRUE(headless::dialogs_run().empty());
}

TEST_F(MainWindowTest, ExitClosesTheLinkBeforeTheSettingsAreWritten)
{
    write_cfg({1, 2, 4, 0, 10, 0, 0, 9, 0x11, 0x27, 2, 0, 50, 0, 0, 0});
    main_window_on_create(window);
    // The link in use: the converter at 127.0.0.1:10020, which the file does not hold yet.
    open_net(2, 10020);
    main_window_on_command(window, IDM_EXIT);
    EXPECT_EQ(link_state.open, 0);
    EXPECT_EQ(win(window).close_requests, 1);
    // The window's close and destroy messages both run the sequence.
    main_window_on_close(window);
    main_window_on_close(window);
    std::vector<uint8_t> want = {1, 2, 4, 0, 127, 0, 0, 1, 0x24, 0x27, 2, 0, 50, 0, 0, 0};
    EXPECT_EQ(read_cfg(), want);
    int closes = 0;
    for (const auto &e : fake::net_log()) closes += e.kind == fake::NetEvent::Close;
    EXPECT_EQ(closes, 1);  // closed once, by the exit command
    EXPECT_EQ(headless::quits().size(), 2u);

    // A serial link is closed by the close sequence itself, first: when the drawing objects
    // go, the port is closed and the settings file is not written yet.
    SetUp();
    static std::vector<std::string> order;
    static std::filesystem::path cfg;
    order.clear();
    cfg = dir / "vokcfg.cfg";
    main_window_features.delete_drawing = [] {
        order.push_back(std::string(link_state.open ? "open" : "closed") +
                        (std::filesystem::exists(cfg) ? " saved" : " unsaved"));
    };
    main_window_on_create(window);
    open_serial(0, 2);
    main_window_on_close(window);
    EXPECT_EQ(order, std::vector<std::string>{"closed unsaved"});
    EXPECT_EQ(link_state.open, 0);
    EXPECT_EQ(fake::serial_log("COM1").back().kind, fake::SerialEvent::Close);
    EXPECT_EQ(read_cfg().size(), 16u);
}

TEST_F(MainWindowTest, UnwritableSettingsAreReportedAtExit)
{
    main_window_on_create(window);
    std::filesystem::create_directory(dir / "vokcfg.cfg");  // cannot be created as a file
    main_window_on_close(window);
    ASSERT_FALSE(headless::boxes().empty());
    EXPECT_EQ(headless::boxes().back().text, "通讯口配置保存错误!");
    EXPECT_EQ(headless::boxes().back().caption, "错误提示!");
}

TEST_F(MainWindowTest, IoCommandPicksTheDialogByModel)
{
    main_window_features.digital_io = &CountingDialog;
    main_window_features.io_test = &CountingDialog;
    main_window_on_create(window);
    three_modules();
    const int models[] = {4500, 4501, 4560};
    for (int model : models) {
        module_table.module[1].model = model;
        main_window_on_command(window, IDM_IO);
    }
    EXPECT_EQ(headless::dialogs_run(), (std::vector<int>{IDD_DIGITAL_IO, IDD_IO_TEST}));
}

int g_reset_result;
int fake_reset() { return g_reset_result; }

TEST_F(MainWindowTest, ResetRunsTheCountdownAndSearchesAgainOnlyWhenSent)
{
    main_window_features.reset_module = fake_reset;
    main_window_features.reset_countdown = &CountingDialog;
    main_window_on_create(window);
    g_reset_result = -1;
    main_window_on_command(window, IDM_RESET);
    EXPECT_EQ(headless::boxes().back().text, "复位错误! 请重新操作!");
    EXPECT_TRUE(win(window).posted.empty());
    g_reset_result = 0;
    main_window_on_command(window, IDM_RESET);
    EXPECT_EQ(headless::dialogs_run(), std::vector<int>{IDD_RESET_COUNTDOWN});
    EXPECT_EQ(win(window).posted, std::deque<int>{IDM_SEARCH});
}

}  // namespace
