#include "console_view.h"

#include <stdio.h>

void OpenConsoleView(ConsoleView *view)
{
    CONSOLE_SCREEN_BUFFER_INFO info;
    view->output = GetStdHandle(STD_OUTPUT_HANDLE);
    view->isConsole = GetConsoleScreenBufferInfo(view->output, &info) != 0;
    view->drawn = 0;
    view->linesDrawn = 0;
    view->top = 0;
    view->width = 80;
    view->rows = 25;
    if (view->isConsole) {
        view->width = (SHORT)(info.srWindow.Right - info.srWindow.Left + 1);
        view->rows = (SHORT)(info.srWindow.Bottom - info.srWindow.Top + 1);
        view->top = info.srWindow.Top;
        if (view->width < 20 || view->rows < 5)
            view->isConsole = 0;
    }
}

int ConsoleViewRows(const ConsoleView *view)
{
    return view->isConsole ? view->rows - 1 : -1;
}

static void FillLine(const ConsoleView *view, SHORT line, SHORT from)
{
    DWORD written;
    COORD at = {from, (SHORT)(view->top + line)};
    if (from < view->width)
        FillConsoleOutputCharacterA(view->output, ' ', (DWORD)(view->width - from), at, &written);
}

void DrawConsoleView(ConsoleView *view, const char *text, size_t length)
{
    if (!view->isConsole) {
        fwrite(text, 1, length, stdout);
        fputs("\n", stdout);
        fflush(stdout);
        return;
    }
    if (!view->drawn) {
        /* Scroll what the console shows out of the way: the view takes the
         * whole window from its top line on. */
        CONSOLE_SCREEN_BUFFER_INFO info;
        DWORD written;
        for (SHORT i = 0; i < view->rows; ++i)
            WriteConsoleA(view->output, "\n", 1, &written, NULL);
        if (GetConsoleScreenBufferInfo(view->output, &info))
            view->top = info.srWindow.Top;
    }
    SHORT line = 0;
    size_t start = 0;
    while (start < length && line < view->rows - 1) {
        size_t end = start;
        while (end < length && text[end] != '\n')
            ++end;
        SHORT columns = (SHORT)(end - start < (size_t)view->width ? end - start : (size_t)view->width);
        COORD at = {0, (SHORT)(view->top + line)};
        DWORD written;
        WriteConsoleOutputCharacterA(view->output, text + start, (DWORD)columns, at, &written);
        FillLine(view, line, columns);
        ++line;
        start = end + 1;
    }
    for (SHORT rest = line; rest < view->linesDrawn; ++rest)
        FillLine(view, rest, 0);
    view->linesDrawn = line;
    view->drawn = 1;
    COORD cursor = {0, (SHORT)(view->top + line)};
    SetConsoleCursorPosition(view->output, cursor);
}
