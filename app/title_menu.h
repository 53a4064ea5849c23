// Window title and menu item states of the main window, as pure functions of the link state,
// and the two steps that apply them through the ui seam.
#ifndef VOK_APP_TITLE_MENU_H
#define VOK_APP_TITLE_MENU_H

#include "platform/ui.h"

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

// update_title, then update_menu of main_window.hwnd.
void update_title_menu(void);

// Enables or greys the items the curve view greys while it covers the grid (every command
// but exit, in the order of menu_states), then redraws `window`'s menu bar.
void enable_view_menu(UiWindow window, int enabled);

// The main window's handler of link_set_change_handler: on open the title, then the menu;
// on close the menu, then the title.
void title_menu_link_changed(int opened);

#endif
