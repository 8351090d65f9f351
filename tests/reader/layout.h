/* The record layouts as one translation unit of a reader sees them, so a
 * test can compare what C and C++ compilers make of common/sections.h. */
#ifndef READER_LAYOUT_H
#define READER_LAYOUT_H

#include <stddef.h>

#if defined(__cplusplus)
extern "C" {
#endif

typedef struct FieldLayout {
    const char *record;
    const char *field;
    size_t offset;
    size_t width;
} FieldLayout;

typedef struct SectionLayout {
    const char *name;
    size_t size;
    size_t recordSize;
} SectionLayout;

typedef struct ReaderLayout {
    const FieldLayout *fields;
    size_t fieldCount;
    const SectionLayout *sections;
    size_t sectionCount;
    size_t waypointCapacity;
    size_t identifierSize;
} ReaderLayout;

ReaderLayout LayoutFromC11(void);
ReaderLayout LayoutFromC99(void);
ReaderLayout LayoutFromCpp11(void);

#if defined(__cplusplus)
}
#endif

#endif
