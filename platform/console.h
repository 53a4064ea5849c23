// Console seam for the command-line tool: whether an output goes to a terminal (progress
// lines only make sense there), and Ctrl-C as a request to finish instead of a sudden end.
// Backends: win32/, posix/, fake/ (tests set both by hand).
#ifndef VOK_PLATFORM_CONSOLE_H
#define VOK_PLATFORM_CONSOLE_H

#include <stddef.h>

enum { CONSOLE_STDOUT = 1, CONSOLE_STDERR = 2 };

// Makes a console show the UTF-8 the program writes to stdout and stderr (the readings carry
// "℃"), whatever the console's code page, and gives files and pipes the bytes as written
// (on Windows too: no CR added before LF, so a CSV or a log is the same on every system).
// Windows: a console stream is relayed as UTF-16 text until the program exits; elsewhere
// nothing to do. Call it before the first output; safe to call twice.
void console_utf8(void);
// The first n or fewer bytes of p that end on a whole UTF-8 character (a character cut
// short at the end stays out; bytes that start nothing valid count as whole).
size_t utf8_whole(const char *p, size_t n);
// 1 when the stream (CONSOLE_STDOUT or CONSOLE_STDERR) is a terminal, else 0.
int console_is_terminal(int stream);
// From now on Ctrl-C (SIGINT, SIGTERM; the console's break events on Windows) only sets the
// flag read by console_interrupted; a second one ends the process at once with code 130.
// Safe to call twice.
void console_catch_interrupt(void);
// 1 once an interrupt came after console_catch_interrupt.
int console_interrupted(void);

#endif
