#include "text_mode_lines.h"

void OpenTextModeLines(TextModeLines *lines, const void *bytes, size_t size)
{
    lines->bytes = (const unsigned char *)bytes;
    lines->size = size;
    lines->at = 0;
    lines->ended = 0;
}

static int NextCharacter(TextModeLines *lines)
{
    if (lines->ended || lines->at >= lines->size)
        return -1;
    unsigned char c = lines->bytes[lines->at];
    if (c == 0x1A) {
        lines->ended = 1;
        return -1;
    }
    if (c == '\r' && lines->at + 1 < lines->size && lines->bytes[lines->at + 1] == '\n') {
        lines->at += 2;
        return '\n';
    }
    lines->at++;
    return c;
}

int NextTextModeLine(TextModeLines *lines, char *buffer)
{
    size_t n = 0;
    while (n < PLAN_LINE_SIZE - 1) {
        int c = NextCharacter(lines);
        if (c < 0)
            break;
        buffer[n++] = (char)c;
        if (c == '\n')
            break;
    }
    if (n == 0)
        return 0;
    buffer[n] = '\0';
    return 1;
}
