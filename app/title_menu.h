// Window title and menu item states of the main window, as pure functions of the link state,
// and the two steps that apply them through the ui seam.
#ifndef VOK_APP_TITLE_MENU_H
#define VOK_APP_TITLE_MENU_H

#include "platform/ui.h"

// Menu command ids of the main window.
enum {
    MENU_COM = 100,
    MENU_SEARCH = 101,
    MENU_PARAMETERS = 102,
    MENU_DATA = 103,
    MENU_REALTIME = 105,
    MENU_TERMINAL = 106,
    MENU_RESET = 107,
    MENU_EXIT = 108,
    MENU_IO = 109,
};

typedef struct MenuItemState {
    int id;
    int enabled;
} MenuItemState;

enum { TITLE_MAX = 128, MENU_STATE_MAX = 9 };

// Title text for the current link: AppTitle, plus the port, speed and converter model while
// the link is open. Writes at most `cap` bytes including the zero; returns the length.
int title_text(char *out, int cap);

// Menu items whose state follows the link (open: module commands enabled, 100 and 108
// untouched; closed: 100 and 108 enabled, module commands greyed). Fills `out` in the order
// they are applied and returns the count (at most MENU_STATE_MAX).
int menu_states(int link_open, MenuItemState *out);

// Sets main_window.hwnd's title from title_text.
void update_title(void);

// Applies menu_states for link_state.open to `window` and redraws its menu bar.
void update_menu(UiWindow window);

// The main window's handler of link_set_change_handler: on open the title, then the menu;
// on close the menu, then the title.
void title_menu_link_changed(int opened);

#endif
