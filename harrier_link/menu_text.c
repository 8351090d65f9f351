#include "menu_text.h"

#include <stdarg.h>
#include <stdio.h>

void FormatMenuText(char buffer[MENU_TEXT_SIZE], const char *format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    vsnprintf(buffer, MENU_TEXT_SIZE, format, arguments);
    va_end(arguments);
    /* Some runtimes leave a cut-short text unterminated. */
    buffer[MENU_TEXT_SIZE - 1] = '\0';
}
