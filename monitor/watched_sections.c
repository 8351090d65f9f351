#include "watched_sections.h"

const SectionInfo watchedSections[WATCHED_SECTION_COUNT] = {
    {KESTREL_DATA_NAME, sizeof(StateBlock), "kestrel", "StateBlock", 1},
    {KESTREL_PLAN_NAME, sizeof(PlanBlock), "kestrel", "PlanBlock", 0},
    {HARRIER_LINK_NAME, sizeof(LinkBlock), "harrier_link", "LinkBlock", 1},
};

uint64_t ReadableBytes(const SectionSample *sample)
{
    if (sample->sectionSizeKnown && sample->sectionSize < sample->viewSize)
        return sample->sectionSize;
    return sample->viewSize;
}

/* A publication is one copy of at most 1208 bytes; four tries outlast it. */
#define SETTLE_ATTEMPTS 4

int CopyRecordSettled(unsigned char *out, const volatile unsigned char *view, size_t size)
{
    unsigned char check[RECORD_BYTES_MAX];
    if (size > sizeof check)
        size = sizeof check;
    for (size_t i = 0; i < size; ++i)
        out[i] = view[i];
    for (int attempt = 1; attempt < SETTLE_ATTEMPTS; ++attempt) {
        int same = 1;
        for (size_t i = 0; i < size; ++i) {
            check[i] = view[i];
            if (check[i] != out[i])
                same = 0;
        }
        if (same)
            return 1;
        for (size_t i = 0; i < size; ++i)
            out[i] = check[i];
    }
    return 0;
}
