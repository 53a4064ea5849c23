// Console seam for the command-line tool: whether an output goes to a terminal (progress
// lines only make sense there), and Ctrl-C as a request to finish instead of a sudden end.
// Backends: win32/, posix/, fake/ (tests set both by hand).
#ifndef VOK_PLATFORM_CONSOLE_H
#define VOK_PLATFORM_CONSOLE_H

enum { CONSOLE_STDOUT = 1, CONSOLE_STDERR = 2 };

// Makes the console show the UTF-8 the program writes (the readings carry "℃"). Windows:
// the console's output code page; elsewhere nothing to do.
void console_utf8(void);
// 1 when the stream (CONSOLE_STDOUT or CONSOLE_STDERR) is a terminal, else 0.
int console_is_terminal(int stream);
// From now on Ctrl-C (SIGINT, SIGTERM; the console's break events on Windows) only sets the
// flag read by console_interrupted; a second one ends the process at once with code 130.
// Safe to call twice.
void console_catch_interrupt(void);
// 1 once an interrupt came after console_catch_interrupt.
int console_interrupted(void);

#endif
