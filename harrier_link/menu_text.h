/* Formatting of the menu texts into their fixed buffers. Portable. */
#ifndef HARRIER_MENU_TEXT_H
#define HARRIER_MENU_TEXT_H

#define MENU_TEXT_SIZE 256

#if defined(__cplusplus)
extern "C" {
#endif

/* printf-style, bounded by the buffer: the result is always terminated and
 * cut short rather than overrun. */
void FormatMenuText(char buffer[MENU_TEXT_SIZE], const char *format, ...);

#if defined(__cplusplus)
}
#endif

#endif
