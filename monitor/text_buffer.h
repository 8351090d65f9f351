/* A fixed buffer that text is appended to. Appends never write past its
 * end: what does not fit is dropped, the text stays NUL-terminated and
 * `truncated` records the loss. Portable. */
#ifndef MONITOR_TEXT_BUFFER_H
#define MONITOR_TEXT_BUFFER_H

#include <stddef.h>

#if defined(__cplusplus)
extern "C" {
#endif

typedef struct TextBuffer {
    char *text;
    size_t size; /* bytes of storage, the terminator included; at least 1 */
    size_t length;
    int truncated;
} TextBuffer;

void InitTextBuffer(TextBuffer *buffer, char *storage, size_t size);
void AppendBytes(TextBuffer *buffer, const char *bytes, size_t count);
void AppendText(TextBuffer *buffer, const char *text);
void AppendFormat(TextBuffer *buffer, const char *format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    ;

#if defined(__cplusplus)
}
#endif

#endif
