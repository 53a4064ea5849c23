// Draws the curve view's frame on the headless canvas and writes the plot with its borders
// (the part of the view without text) as a binary PPM: the reference a snapshot saved by
// vokmon under Wine is compared with. Usage: frame_reference OUT.ppm CLIENT_W CLIENT_H
#include <cstdio>
#include <cstdlib>

#include "app/state.h"
#include "display/realtime.h"
#include "platform/headless/ui_headless.h"

int main(int argc, char **argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: frame_reference OUT.ppm CLIENT_W CLIENT_H\n");
        return 2;
    }
    state_reset();
    UiWindow w = headless::new_window();
    headless::window(w).client_rect = UiRect{0, 0, std::atoi(argv[2]), std::atoi(argv[3])};
    module_table.count = 1;
    module_table.module[0].model = 4101;
    module_table.module[0].type_code = 0x80;
    real_time.active = 1;
    realtime_create_drawing();
    UiRect client;
    ui_get_client_rect(w, &client);
    realtime_compute_plot(&client);
    draw_curve_frame(w, gfx_get_canvas(w));

    const CurvePlot &p = curve_plot;
    int left = p.left - 2, top = p.top - 2, width = p.right - p.left + 5, height = p.bottom - p.top + 5;
    FILE *f = std::fopen(argv[1], "wb");
    if (!f) return 1;
    std::fprintf(f, "P6\n%d %d\n255\n", width, height);
    for (int y = top; y < top + height; ++y)
        for (int x = left; x < left + width; ++x) {
            uint32_t c = headless::window(w).canvas.at(x, y);
            unsigned char px[3] = {static_cast<unsigned char>(GFX_RED(c)), static_cast<unsigned char>(GFX_GREEN(c)),
                                   static_cast<unsigned char>(GFX_BLUE(c))};
            std::fwrite(px, 1, 3, f);
        }
    std::printf("%dx%d+%d+%d\n", width, height, left, top);
    realtime_delete_drawing();
    return std::fclose(f) == 0 ? 0 : 1;
}
