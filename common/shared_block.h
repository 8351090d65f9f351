/* SharedBlock: a named section backed by the paging file into which one
 * record is published at offset 0. Both bridges publish through it. */
#ifndef KESTREL_SHARED_BLOCK_H
#define KESTREL_SHARED_BLOCK_H

#include <windows.h>
#include <stddef.h>

/* Creates the section, or opens the one of that name that already exists
 * (a reader may have created it first, with a size of its own). Returns
 * null when neither works. */
HANDLE CreateSharedBlock(const char *name, DWORD size);

/* One publication: maps the whole section, copies the record to its start
 * and unmaps it. Returns 1 when the record was copied, 0 when the handle is
 * null or no view could be opened; then nothing is written. */
int PublishSharedBlock(HANDLE section, const void *record, size_t size);

void CloseSharedBlock(HANDLE section);

#endif
