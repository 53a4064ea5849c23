// Curve snapshot: the file's headers, size and row padding for even and odd areas, the file
// read back by ImageMagick against the headless canvas, replacement, and failures that
// leave no file behind.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "display/snapshot.h"
#include "tests/realtime/curve_fixture.h"

namespace fs = std::filesystem;

namespace {

uint32_t le32(const std::vector<uint8_t> &b, size_t at)
{
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

std::vector<uint8_t> slurp(const fs::path &p)
{
    std::ifstream f(p, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), {});
}

std::string run(const std::string &cmd)
{
    std::string out;
    FILE *p = popen((cmd + " 2>&1").c_str(), "r");
    if (!p) return out;
    char buf[256];
    while (fgets(buf, sizeof buf, p)) out += buf;
    pclose(p);
    return out;
}

struct Snapshot : CurveFixture {
    fs::path dir;
    void SetUp() override
    {
        CurveFixture::SetUp();
        dir = fs::temp_directory_path() / ("vok_snapshot_" + std::to_string(getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
        fs::current_path(dir);
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::current_path(fs::temp_directory_path(), ec);
        fs::remove_all(dir, ec);
        CurveFixture::TearDown();
    }

    // A view with a curve on it, in a window whose client area is w x h.
    void draw_view(int w, int h)
    {
        win(window).client_rect = UiRect{0, 0, w, h};
        add_module(0x01, 4101).channels[0].units = {sim::make_sensor(0x28, 1, 25.0)};
        view_on(0x01, true);
        sweep(40);
    }

    // The canvas area (left, top, w, h) as a binary PPM, the reference for compare.
    void write_ppm(const fs::path &p, int left, int top, int w, int h)
    {
        std::ofstream f(p, std::ios::binary);
        f << "P6\n" << w << " " << h << "\n255\n";
        for (int y = top; y < top + h; ++y)
            for (int x = left; x < left + w; ++x) {
                uint32_t c = canvas().at(x, y);
                char px[3] = {static_cast<char>(GFX_RED(c)), static_cast<char>(GFX_GREEN(c)), static_cast<char>(GFX_BLUE(c))};
                f.write(px, 3);
            }
    }
};

TEST_F(Snapshot, FileMatchesTheScreenForEvenAndOddAreas)
{
    struct Case {
        int client_w, w, row_bytes, pad;
    } cases[] = {{792, 792, 2376, 0}, {791, 790, 2372, 2}};
    for (const Case &c : cases) {
        SetUp();
        draw_view(c.client_w, 546);
        UiRect rect{0, 0, c.client_w, 546};
        ASSERT_EQ(save_curve_snapshot(&rect, window), SNAPSHOT_OK);
        auto b = slurp(SNAPSHOT_FILE_NAME);
        ASSERT_EQ(b.size(), 54u + static_cast<size_t>(c.row_bytes) * 476) << c.client_w;
        EXPECT_EQ(b[0], 'B');
        EXPECT_EQ(b[1], 'M');
        EXPECT_EQ(le32(b, 2), b.size());
        EXPECT_EQ(le32(b, 6), 0u);
        EXPECT_EQ(le32(b, 10), 54u);
        EXPECT_EQ(le32(b, 14), 40u);
        EXPECT_EQ(le32(b, 18), static_cast<uint32_t>(c.w));
        EXPECT_EQ(le32(b, 22), 476u);
        EXPECT_EQ(b[26] | b[27] << 8, 1);
        EXPECT_EQ(b[28] | b[29] << 8, 24);
        for (size_t k = 30; k < 54; ++k) EXPECT_EQ(b[k], 0) << k;
        for (int r = 0; r < 476; ++r)
            for (int k = 0; k < c.pad; ++k)
                ASSERT_EQ(b[54 + static_cast<size_t>(r) * c.row_bytes + static_cast<size_t>(c.w) * 3 + k], 0);
        // The last stored row is the top screen row of the area (y = 10): silver background.
        size_t top_row = 54 + static_cast<size_t>(475) * c.row_bytes;
        EXPECT_EQ(b[top_row], 192);

        EXPECT_EQ(run("identify -format '%m %w %h %z' 3900wave.bmp"), "BMP3 " + std::to_string(c.w) + " 476 8");
        write_ppm("screen.ppm", 0, 10, c.w, 476);
        EXPECT_EQ(run("compare -metric AE screen.ppm 3900wave.bmp null:"), "0") << c.client_w;
        EXPECT_FALSE(fs::exists("3900wave.tmp"));
        TearDown();
    }
}

TEST_F(Snapshot, SavingAgainReplacesTheFile)
{
    draw_view(784, 541);
    UiRect rect{0, 0, 784, 541};
    ASSERT_EQ(save_curve_snapshot(&rect, window), SNAPSHOT_OK);
    auto first = slurp(SNAPSHOT_FILE_NAME);
    paint();  // the curve is gone: only the frame
    ASSERT_EQ(save_curve_snapshot(&rect, window), SNAPSHOT_OK);
    auto second = slurp(SNAPSHOT_FILE_NAME);
    EXPECT_EQ(first.size(), second.size());
    EXPECT_NE(first, second);
    write_ppm("screen.ppm", 0, 10, 784, 470);
    EXPECT_EQ(run("compare -metric AE screen.ppm 3900wave.bmp null:"), "0");
}

TEST_F(Snapshot, FailuresLeaveNoFile)
{
    draw_view(784, 541);
    UiRect rect{0, 0, 784, 541};
    // Nothing to save: an empty rectangle, or one all cut off.
    UiRect empty{10, 10, 10, 400}, thin{0, 0, 784, 70};
    EXPECT_EQ(save_curve_snapshot(&empty, window), SNAPSHOT_EMPTY);
    EXPECT_EQ(save_curve_snapshot(&thin, window), SNAPSHOT_EMPTY);
    EXPECT_TRUE(fs::is_empty(dir));

    // The name is taken by something that cannot be replaced: -5, and the old one stays.
    fs::create_directories(fs::path(SNAPSHOT_FILE_NAME) / "keep");
    EXPECT_EQ(save_curve_snapshot(&rect, window), SNAPSHOT_CREATE);
    EXPECT_TRUE(fs::exists(fs::path(SNAPSHOT_FILE_NAME) / "keep"));
    EXPECT_FALSE(fs::exists("3900wave.tmp"));

    // A directory no file can be made in (gone while we stand in it; root ignores modes).
    fs::path gone = dir / "gone";
    fs::create_directories(gone);
    fs::current_path(gone);
    fs::remove(gone);
    EXPECT_EQ(save_curve_snapshot(&rect, window), SNAPSHOT_CREATE);
    fs::current_path(dir);
    EXPECT_FALSE(fs::exists(gone));
}

TEST_F(Snapshot, SaveButtonShowsTheWaitCursorAndReportsFailure)
{
    draw_view(784, 541);
    main_window_on_command(window, IDC_RT_SAVE);
    EXPECT_TRUE(fs::exists(SNAPSHOT_FILE_NAME));
    EXPECT_TRUE(headless::boxes().empty());
    EXPECT_EQ(headless::cursor_waits(), 1);
    EXPECT_FALSE(headless::cursor_is_wait());
    EXPECT_EQ(headless::beeps(), std::vector<int>{UI_BEEP_WARNING});

    fs::remove(SNAPSHOT_FILE_NAME);
    fs::create_directories(fs::path(SNAPSHOT_FILE_NAME) / "keep");
    main_window_on_command(window, IDC_RT_SAVE);
    ASSERT_EQ(headless::boxes().size(), 1u);
    EXPECT_EQ(headless::boxes()[0].text, "文件存盘错误!");
    EXPECT_EQ(headless::boxes()[0].caption, "错误提示");
    EXPECT_EQ(headless::beeps().size(), 2u);
    EXPECT_FALSE(headless::cursor_is_wait());
}

TEST(SnapshotArea, ClampsToTheScreenAndEvensTheSize)
{
    struct Case {
        UiRect rect;
        int screen_w, screen_h;
        SnapshotArea want;
    } cases[] = {
        {{0, 0, 792, 546}, 1024, 768, {0, 10, 792, 476}},
        {{0, 0, 791, 547}, 1024, 768, {0, 10, 790, 476}},
        {{-5, -20, 900, 700}, 800, 600, {0, 0, 800, 600}},
        {{3, 0, 700, 500}, 640, 480, {3, 10, 636, 430}},
    };
    for (const Case &c : cases) {
        SnapshotArea a = snapshot_area(&c.rect, c.screen_w, c.screen_h);
        EXPECT_EQ(a.left, c.want.left);
        EXPECT_EQ(a.top, c.want.top);
        EXPECT_EQ(a.width, c.want.width) << c.rect.right;
        EXPECT_EQ(a.height, c.want.height) << c.rect.bottom;
    }
}

}  // namespace
