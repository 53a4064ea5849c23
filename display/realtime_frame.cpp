// Curve view frame: drawing objects, plot rectangle, background, grid, axis labels, legend
// and the four push buttons under the plot.
#include <stdio.h>

#include "display/realtime.h"
#include "resources/resource_ids.h"

CurvePlot curve_plot;
UiRect curve_client_rect;
CurveDrawing curve_drawing;
const uint32_t CurveSlotColors[CURVE_SLOTS] = {GFX_RGB(255, 0, 0), GFX_RGB(255, 255, 0),
                                               GFX_RGB(0, 255, 0), GFX_RGB(0, 0, 255)};

namespace {
const uint32_t Red = GFX_RGB(255, 0, 0);
const uint32_t Black = GFX_RGB(0, 0, 0);

struct ButtonSpec {
    int id;
    const char *caption;
    int from_right;  // left edge = plot right - this
};
const ButtonSpec Buttons[] = {
    {IDC_RT_START, "启 动", 580},
    {IDC_RT_PARAMS, "参 数", 430},
    {IDC_RT_SAVE, "曲线存盘", 280},
    {IDC_RT_EXIT, "退 出", 130},
};

// Time labels: the seconds at samples 0, 30, ... 300 for the current period.
void draw_time_labels(GfxCanvas c)
{
    const CurvePlot &p = curve_plot;
    gfx_text_color(c, Black);
    double period = RefreshPeriodTable[real_time.period_index];
    for (int j = 0; j <= 10; ++j) {
        char text[24];
        snprintf(text, sizeof text, "%03.0f", period * 2 * j * 600 / 40000);
        gfx_text(c, p.left + 60 * j - 10, p.bottom + 5, text);
    }
}

// Value axis: unit in red, eleven labels in black from the bottom edge up.
void draw_value_axis(GfxCanvas c, int humidity)
{
    const CurvePlot &p = curve_plot;
    gfx_text_color(c, Red);
    gfx_text(c, p.left - 30, p.top - 30, humidity ? "%RH" : "℃");
    gfx_text_color(c, Black);
    float low = humidity ? real_time.hum_low : real_time.temp_low;
    float high = humidity ? real_time.hum_high : real_time.temp_high;
    for (int k = 0; k <= 10; ++k) {
        char text[24];
        float v = low + static_cast<float>(k) * (high - low) / 10;
        snprintf(text, sizeof text, humidity ? "%05.1f" : "%+05.2f", static_cast<double>(v));
        gfx_text(c, p.left - 60, p.bottom - 40 * k - 10, text);
    }
}

// Legend entry of slot i: three lines in the slot's colour and its label.
void draw_legend_entry(GfxCanvas c, int i, const char *label)
{
    const CurvePlot &p = curve_plot;
    GfxPen old = gfx_select_pen(c, curve_drawing.curve_pens[i]);
    for (int d = 0; d < 3; ++d) gfx_line(c, p.right + 10, p.top + 50 + 20 * i + d, p.right + 40, p.top + 50 + 20 * i + d);
    gfx_select_pen(c, old);
    gfx_text_color(c, CURVE_COLOR_NAVY);
    gfx_text(c, p.right + 45, p.top + 40 + 20 * i, label);
}

void draw_plot_border(GfxCanvas c)
{
    const CurvePlot &p = curve_plot;
    gfx_select_pen(c, curve_drawing.black_pen);
    for (int k = 0; k < 2; ++k) {
        gfx_line(c, p.left - 1 - k, p.top - 1 - k, p.left - 1 - k, p.bottom + 1 + k);
        gfx_line(c, p.left - 1 - k, p.top - 1 - k, p.right + 1 + k, p.top - 1 - k);
    }
    gfx_select_pen(c, curve_drawing.white_pen);
    for (int k = 0; k < 2; ++k) {
        gfx_line(c, p.right + 1 + k, p.bottom + 1 + k, p.right + 1 + k, p.top - 1 - k);
        gfx_line(c, p.right + 1 + k, p.bottom + 1 + k, p.left - 1 - k, p.bottom + 1 + k);
    }
}

void draw_grid(GfxCanvas c)
{
    const CurvePlot &p = curve_plot;
    gfx_select_pen(c, curve_drawing.black_pen);
    for (int x = p.left + 30; x < p.right; x += 30) gfx_line(c, x, p.top, x, p.bottom);
    for (int y = p.top + 40; y < p.bottom; y += 40) gfx_line(c, p.left, y, p.right, y);
}

// The buttons are made once per visit of the view. Destroying and re-making them on every
// paint would uncover the parent under them, which asks for the next paint: the window
// would repaint without end and the sample timer (whose ticks come after paints) never fire.
void create_buttons(UiWindow w)
{
    if (real_time.buttons_shown == 1) return;
    for (const ButtonSpec &b : Buttons)
        ui_create_button(w, b.id, b.caption, curve_plot.right - b.from_right, curve_plot.bottom + 40,
                         RT_BUTTON_WIDTH, RT_BUTTON_HEIGHT);
    ui_focus(w, IDC_RT_START);
    real_time.buttons_shown = 1;
}
}  // namespace

void realtime_create_drawing(void)
{
    realtime_delete_drawing();
    curve_drawing.plot_brush = gfx_create_brush(CURVE_COLOR_PLOT);
    curve_drawing.silver_brush = gfx_create_brush(CURVE_COLOR_SILVER);
    for (int i = 0; i < CURVE_SLOTS; ++i) curve_drawing.curve_pens[i] = gfx_create_pen(1, CurveSlotColors[i]);
    curve_drawing.white_pen = gfx_create_pen(1, GFX_RGB(255, 255, 255));
    curve_drawing.black_pen = gfx_create_pen(1, Black);
    curve_drawing.silver_pen = gfx_create_pen(1, CURVE_COLOR_SILVER);
}

void realtime_delete_drawing(void)
{
    gfx_delete_brush(curve_drawing.plot_brush);
    gfx_delete_brush(curve_drawing.silver_brush);
    for (GfxPen p : curve_drawing.curve_pens) gfx_delete_pen(p);
    gfx_delete_pen(curve_drawing.white_pen);
    gfx_delete_pen(curve_drawing.black_pen);
    gfx_delete_pen(curve_drawing.silver_pen);
    curve_drawing = CurveDrawing{};
}

void realtime_compute_plot(const UiRect *client)
{
    curve_client_rect = *client;
    curve_plot.left = client->left + 80;
    curve_plot.top = client->top + 50;
    curve_plot.right = client->left + 80 + PLOT_WIDTH;
    curve_plot.bottom = client->top + 50 + PLOT_HEIGHT;
}

void realtime_destroy_buttons(UiWindow w)
{
    if (real_time.buttons_shown != 1) return;
    for (const ButtonSpec &b : Buttons) ui_destroy_control(w, b.id);
    real_time.buttons_shown = 0;
}

void draw_curve_frame(UiWindow w, GfxCanvas c)
{
    const Module *m = realtime_module();
    const CurvePlot &p = curve_plot;
    int model4500 = uses_reader_b(m);
    if (real_time.restart == 1) {
        for (int i = 0; i < CURVE_SLOTS; ++i) real_time.curve_itu[i] = model4500 && i < 2 ? i : -1;
    }

    UiRect client;
    ui_get_client_rect(w, &client);
    GfxPen old_pen = gfx_select_pen(c, curve_drawing.silver_pen);
    GfxBrush old_brush = gfx_select_brush(c, curve_drawing.silver_brush);
    gfx_rectangle(c, client.left, client.top, client.right, client.bottom);
    gfx_select_brush(c, curve_drawing.plot_brush);
    gfx_rectangle(c, p.left, p.top, p.right, p.bottom);
    draw_plot_border(c);
    draw_grid(c);

    gfx_transparent(c, 1);
    gfx_text_color(c, Red);
    gfx_text(c, p.right + 10, p.bottom - 20, "秒");
    draw_time_labels(c);
    char text[32];
    gfx_text_color(c, CURVE_COLOR_NAVY);
    snprintf(text, sizeof text, "模块:%02XH", m->address);
    gfx_text(c, p.right + 10, p.top, text);

    if (has_curve_dialog(m)) {
        int channel = real_time.channel;
        draw_value_axis(c, real_time.show_temperature == 0 && humidity_allowed(m, channel));
        gfx_text_color(c, CURVE_COLOR_NAVY);
        snprintf(text, sizeof text, "通道:%d", channel);
        gfx_text(c, p.right + 10, p.top + 20, text);
        for (int i = 0; i < CURVE_SLOTS; ++i) {
            if (real_time.curve_itu[i] == -1) continue;
            snprintf(text, sizeof text, "ID:%02d", real_time.curve_itu[i]);
            draw_legend_entry(c, i, text);
        }
    }
    if (model4500) {
        draw_value_axis(c, 1);
        for (int i = 0; i < 2; ++i) {
            if (real_time.curve_itu[i] == -1) continue;
            snprintf(text, sizeof text, "通道:%d", real_time.curve_itu[i]);
            draw_legend_entry(c, i, text);
        }
    }
    gfx_select_pen(c, old_pen);
    gfx_select_brush(c, old_brush);
    create_buttons(w);
}
