/* The live view on a console: each sample is drawn over the last one in
 * place. Output that is no console (a pipe, a file) gets each sample in
 * turn, followed by a blank line. */
#ifndef MONITOR_CONSOLE_VIEW_H
#define MONITOR_CONSOLE_VIEW_H

#include <windows.h>

#include <stddef.h>

typedef struct ConsoleView {
    HANDLE output;
    int isConsole;
    SHORT top;  /* buffer line the view starts on, fixed at the first draw */
    SHORT width;
    SHORT rows; /* lines the view may use: the window's height */
    int drawn;  /* 0 before the first draw */
    int linesDrawn;
} ConsoleView;

void OpenConsoleView(ConsoleView *view);
/* Lines available to a sample: -1 when output is not a console. */
int ConsoleViewRows(const ConsoleView *view);
void DrawConsoleView(ConsoleView *view, const char *text, size_t length);

#endif
