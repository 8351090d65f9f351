/* Taking the plan file's name out of an activation message. Portable. */
#ifndef KESTREL_PLAN_PATH_H
#define KESTREL_PLAN_PATH_H

#include <stddef.h>

#if defined(__cplusplus)
extern "C" {
#endif

/* Copies the NUL-terminated name at field (of which at most fieldBytes
 * bytes may be read) into path (pathSize bytes, terminator included) and
 * returns 1. A name that is not terminated within fieldBytes, or that does
 * not fit path whole, is never cut short, since the shortened name could
 * open a different file: path becomes empty and the result is 0. */
int CopyPlanPath(char *path, size_t pathSize, const char *field, size_t fieldBytes);

#if defined(__cplusplus)
}
#endif

#endif
