/* The lines that the Windows runtime's fgets gives for a file opened in
 * text mode ("rt") and read into a buffer of PLAN_LINE_SIZE bytes, made from
 * the file's bytes: CR LF comes as LF (any other CR stays), a byte 0x1A
 * ends the file, and a line longer than 255 characters comes in pieces of
 * 255, each terminated. */
#ifndef KESTREL_TEXT_MODE_LINES_H
#define KESTREL_TEXT_MODE_LINES_H

#include <stddef.h>

#include "plan_scan.h"

#if defined(__cplusplus)
extern "C" {
#endif

typedef struct TextModeLines {
    const unsigned char *bytes;
    size_t size;
    /* The next byte to read; at size, or past a 0x1A, the file has ended. */
    size_t at;
    int ended;
} TextModeLines;

void OpenTextModeLines(TextModeLines *lines, const void *bytes, size_t size);

/* As fgets(buffer, PLAN_LINE_SIZE, file): returns 1 with the next piece in
 * buffer, NUL-terminated; returns 0 at the end of the file and leaves buffer
 * as it was. */
int NextTextModeLine(TextModeLines *lines, char *buffer);

#if defined(__cplusplus)
}
#endif

#endif
