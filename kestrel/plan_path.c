#include "plan_path.h"

#include <string.h>

int CopyPlanPath(char *path, size_t pathSize, const char *field, size_t fieldBytes)
{
    size_t limit = fieldBytes < pathSize ? fieldBytes : pathSize;
    const char *end = (const char *)memchr(field, '\0', limit);
    if (end == NULL) {
        path[0] = '\0';
        return 0;
    }
    memcpy(path, field, (size_t)(end - field) + 1);
    return 1;
}
