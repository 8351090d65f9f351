// Plan text scanned as the DLL's file loop scans a file: lines split as
// text-mode fgets splits them, each handed over as an exact copy.
#ifndef KESTREL_SCAN_TEXT_H
#define KESTREL_SCAN_TEXT_H

#include <string.h>

#include <string>
#include <vector>

#include "plan_scan.h"
#include "text_mode_lines.h"

// A block whose every byte is known, so a test can tell what was written.
inline PlanBlock SentinelBlock()
{
    PlanBlock block;
    unsigned char *bytes = (unsigned char *)&block;
    for (size_t i = 0; i < sizeof block; i++)
        bytes[i] = "\xEF\xBE\xAD\xDE"[i % 4];
    return block;
}

// Scans text into block; returns the number of lines handed to the scanner.
inline int ScanText(const std::string &text, PlanBlock *block)
{
    PlanScan scan;
    BeginPlanScan(&scan);
    TextModeLines lines;
    OpenTextModeLines(&lines, text.data(), text.size());
    char buffer[PLAN_LINE_SIZE];
    int handed = 0;
    while (NextTextModeLine(&lines, buffer)) {
        size_t length = strlen(buffer);
        std::vector<char> exact(length > 0 ? length : 1);
        memcpy(exact.data(), buffer, length);
        handed++;
        if (!ScanPlanLine(&scan, block, exact.data(), length))
            break;
    }
    EndPlanScan(&scan, block);
    return handed;
}

inline PlanBlock ScanFresh(const std::string &text)
{
    PlanBlock block = SentinelBlock();
    ScanText(text, &block);
    return block;
}

#endif
