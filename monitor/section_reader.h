/* One look at a named section, read-only, as a reader in another process
 * takes it. */
#ifndef MONITOR_SECTION_READER_H
#define MONITOR_SECTION_READER_H

#include "watched_sections.h"

/* Resolves what the reader needs from the system once, before the first
 * look. */
void PrepareSectionReader(void);

/* Opens the section by name, learns its size, maps it for reading only,
 * copies its record when the section is large enough, and lets go of it
 * again: between looks the monitor holds nothing, so a section vanishes as
 * soon as its publisher and every other reader have closed it. */
void ReadWatchedSection(const SectionInfo *info, SectionSample *sample);

#endif
