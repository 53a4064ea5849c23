// Snapshot save time under Windows (Wine): an 800 x 600 window showing the curve frame,
// saved to 3900wave.bmp ten times; prints every time and the median.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "app/state.h"
#include "display/realtime.h"
#include "display/snapshot.h"

namespace {
LRESULT CALLBACK proc(HWND h, UINT m, WPARAM wp, LPARAM lp)
{
    if (m == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(h, &ps);
        draw_curve_frame(reinterpret_cast<UiWindow>(h), reinterpret_cast<GfxCanvas>(dc));
        EndPaint(h, &ps);
        return 0;
    }
    return DefWindowProcW(h, m, wp, lp);
}
}  // namespace

int main()
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"snapshot_bench";
    RegisterClassW(&wc);
    HWND h = CreateWindowW(L"snapshot_bench", L"snapshot_bench", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 800, 600,
                           nullptr, nullptr, wc.hInstance, nullptr);
    module_table.module[0].model = 4101;
    module_table.module[0].type_code = 0x80;
    realtime_create_drawing();
    RECT rc;
    GetClientRect(h, &rc);
    UiRect client{rc.left, rc.top, rc.right, rc.bottom};
    realtime_compute_plot(&client);
    UpdateWindow(h);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);

    LARGE_INTEGER f, a, b;
    QueryPerformanceFrequency(&f);
    std::vector<double> ms;
    for (int k = 0; k < 10; ++k) {
        QueryPerformanceCounter(&a);
        int r = save_curve_snapshot(&client, reinterpret_cast<UiWindow>(h));
        QueryPerformanceCounter(&b);
        ms.push_back(1000.0 * static_cast<double>(b.QuadPart - a.QuadPart) / static_cast<double>(f.QuadPart));
        std::printf("save %d: result %d, %.1f ms\n", k, r, ms.back());
    }
    std::sort(ms.begin(), ms.end());
    std::printf("client %ldx%ld, median %.1f ms, worst %.1f ms\n", rc.right, rc.bottom, ms[5], ms.back());
    DestroyWindow(h);
    return 0;
}
