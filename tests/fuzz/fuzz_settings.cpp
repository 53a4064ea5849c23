// Fuzz target: a hand-edited vokcfg.cfg of any length and content, loaded as at start-up
// and then used the way vokmon uses it: the title, the communication settings dialog, the
// waits of every path and opening the port.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/settings.h"
#include "app/state.h"
#include "app/title_menu.h"
#include "link/serial_port.h"
#include "link/timing.h"
#include "netsetup/comm_settings.h"
#include "platform/fake/fake_platform.h"
#include "platform/headless/ui_headless.h"
#include "tests/fuzz/fuzz_input.h"
#include "tests/fuzz/fuzz_windows.h"

static char g_dir[64];

// The run's settings file and its directory go at exit (nothing else is written there).
static void remove_dir()
{
    const std::string path = std::string(g_dir) + "/" SETTINGS_FILE_NAME;
    unlink(path.c_str());
    rmdir(g_dir);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const std::string dir = [] {
        // Memory-backed where there is one: on ext4 each rewrite of a truncated file
        // forces a write-back at close, which otherwise takes most of the time.
        char shm[] = "/dev/shm/vok-fuzz-settings-XXXXXX";
        char tmp[] = "/tmp/vok-fuzz-settings-XXXXXX";
        const char *d = mkdtemp(shm);
        if (d == nullptr) d = mkdtemp(tmp);
        if (d == nullptr) return std::string("/tmp");
        snprintf(g_dir, sizeof g_dir, "%s", d);
        atexit(remove_dir);
        return std::string(d);
    }();
    fake::set_logging(false);  // nothing here reads the logs
    fake::reset();
    state_reset();
    main_window.hwnd = fuzz::window(0);
    link_set_change_handler(title_menu_link_changed);
    snprintf(main_window.start_dir, sizeof main_window.start_dir, "%s", dir.c_str());
    const std::string path = dir + "/" SETTINGS_FILE_NAME;
    FILE *f = fopen(path.c_str(), "wb");
    FUZZ_ASSERT(f != nullptr);
    fwrite(data, 1, size, f);
    fclose(f);
    const int rc = settings_load();
    FUZZ_ASSERT(rc == SETTINGS_OK || rc == SETTINGS_SHORT);
    if (rc != SETTINGS_OK) settings_apply_defaults();

    char title[256];
    title_text(title, sizeof title);
    update_title();
    UiWindow dlg = fuzz::window(1);
    comm_settings_init(dlg);
    comm_settings_apply_states(dlg);
    const int type = link_settings.converter_type, baud = link_settings.baud_index;
    (void)paced_first_wait(type, baud, 0, 5, 22);
    (void)post_wait(type, baud, 27);
    (void)polled_polls(type, link_settings.reply_wait_ms);
    (void)polled_attempts(type, link_settings.reply_wait_ms, 0);
    (void)net_wait(baud, 0, 27);
    char name[16];
    snprintf(name, sizeof name, "COM%d", link_settings.com_port);
    fake::attach_serial(name, nullptr);
    if (port_open() == 1) port_close();
    // This input's port goes now: libFuzzer runs a leak check after any input that ends
    // with more allocations than frees, which would dominate the run time.
    fake::reset();
    return 0;
}
