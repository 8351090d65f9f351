#include "text_buffer.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

void InitTextBuffer(TextBuffer *buffer, char *storage, size_t size)
{
    buffer->text = storage;
    buffer->size = size;
    buffer->length = 0;
    buffer->truncated = 0;
    storage[0] = '\0';
}

void AppendBytes(TextBuffer *buffer, const char *bytes, size_t count)
{
    size_t room = buffer->size - 1 - buffer->length;
    if (count > room) {
        count = room;
        buffer->truncated = 1;
    }
    memcpy(buffer->text + buffer->length, bytes, count);
    buffer->length += count;
    buffer->text[buffer->length] = '\0';
}

void AppendText(TextBuffer *buffer, const char *text)
{
    AppendBytes(buffer, text, strlen(text));
}

void AppendFormat(TextBuffer *buffer, const char *format, ...)
{
    size_t room = buffer->size - buffer->length;
    va_list args;
    va_start(args, format);
    int written = vsnprintf(buffer->text + buffer->length, room, format, args);
    va_end(args);
    if (written < 0) {
        /* An encoding error leaves the buffer as it was. */
        buffer->text[buffer->length] = '\0';
        buffer->truncated = 1;
        return;
    }
    if ((size_t)written >= room) {
        buffer->length = buffer->size - 1;
        buffer->truncated = 1;
    } else {
        buffer->length += (size_t)written;
    }
}
