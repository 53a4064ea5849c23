// Program entry and the main window procedure: registers the class, creates the 800 x 600
// window, runs the message loop, and hands every message to the main window logic.
#include <windows.h>
#include <windowsx.h>

#include "app/main_window.h"
#include "app/state.h"
#include "display/data_display.h"
#include "display/numbering.h"
#include "display/realtime.h"
#include "maintenance/module_params.h"
#include "maintenance/digital_io.h"
#include "maintenance/io_test.h"
#include "maintenance/itu_output.h"
#include "maintenance/itu_setup.h"
#include "maintenance/reset.h"
#include "maintenance/terminal.h"
#include "platform/clock.h"
#include "platform/win32/ui_win32.h"
#include "resources/resource_ids.h"

namespace {
UiWindow ui(HWND h) { return reinterpret_cast<UiWindow>(h); }

LRESULT CALLBACK main_window_proc(HWND h, UINT m, WPARAM wp, LPARAM lp)
{
    switch (m) {
    case WM_CREATE:
        main_window.menu = GetMenu(h);
        main_window_on_create(ui(h));
        break;
    case WM_SIZE:
        // A minimised window is left alone; any other size change snaps back. A window
        // whose creation was cut short (narrow screen) has no rectangle to snap to.
        if (wp != SIZE_MINIMIZED && main_window_rect.right > main_window_rect.left)
            main_window_on_size(ui(h));
        break;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(h, &ps);
        main_window_on_paint(ui(h), reinterpret_cast<GfxCanvas>(dc));
        EndPaint(h, &ps);
        return 0;
    }
    case WM_LBUTTONDOWN:
        main_window_on_lbutton(ui(h), GET_X_LPARAM(lp), GET_Y_LPARAM(lp));
        break;
    case WM_LBUTTONDBLCLK:
        main_window_on_dblclk(ui(h), GET_X_LPARAM(lp), GET_Y_LPARAM(lp));
        break;
    case WM_RBUTTONDOWN:
        main_window_on_rbutton(ui(h), GET_X_LPARAM(lp), GET_Y_LPARAM(lp));
        break;
    case WM_TIMER:
        main_window_on_timer(ui(h), static_cast<int>(wp));
        break;
    case WM_COMMAND:
        main_window_on_command(ui(h), LOWORD(wp));
        break;
    case WM_CLOSE:
    case WM_DESTROY:
        main_window_on_close(ui(h));
        break;
    default:
        break;
    }
    return DefWindowProcW(h, m, wp, lp);
}
}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show)
{
    clock_init();
    main_window_features.module_params = &module_params_handlers;
    main_window_features.reset_module = reset_module;
    main_window_features.reset_countdown = &reset_countdown_handlers;
    main_window_features.terminal = &terminal_handlers;
    main_window_features.digital_io = &digital_io_handlers;
    main_window_features.io_test = &io_test_handlers;
    data_display_hooks.itu_settings = &itu_setup_handlers;
    data_display_hooks.itu_output = &itu_output_handlers;
    main_window.instance = instance;
    main_window_features.data_display = &data_display_handlers;
    numbering_install();
    main_window_features.create_drawing = realtime_create_drawing;
    main_window_features.delete_drawing = realtime_delete_drawing;
    main_window_features.compute_plot = realtime_compute_plot;
    main_window_features.realtime_paint = draw_curve_frame;
    main_window_features.realtime_tick = realtime_on_tick;
    main_window_features.realtime_command = realtime_on_command;
    main_window_features.realtime_destroy_buttons = realtime_destroy_buttons;
    std::wstring title = ui_widen(AppTitle);

    WNDCLASSW wc{};
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = main_window_proc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_PROGRAM));
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszMenuName = MAKEINTRESOURCEW(IDR_MAIN_MENU);
    wc.lpszClassName = title.c_str();
    if (!RegisterClassW(&wc)) {
        clock_shutdown();
        return 0;
    }

    HWND h = CreateWindowW(title.c_str(), title.c_str(),
                           WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_CLIPCHILDREN,
                           CW_USEDEFAULT, CW_USEDEFAULT, 800, 600, nullptr, nullptr, instance, nullptr);
    if (!h) {
        clock_shutdown();
        return 0;
    }
    main_window.hwnd = ui(h);
    ShowWindow(h, show);
    UpdateWindow(h);

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    clock_shutdown();
    return static_cast<int>(msg.wParam);
}
