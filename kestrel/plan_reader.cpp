#include "plan_reader.h"

#include <share.h>
#include <stdio.h>
#include <string.h>

#include "plan_scan.h"
#include "published_blocks.h"

void ReadFlightPlan(void)
{
    PlanScan scan;
    BeginPlanScan(&scan);
    /* Read only, in text mode (CR LF comes as LF, 0x1A ends the file);
     * other processes may read the file meanwhile but not write it. A file
     * that cannot be opened (missing, empty path, or held open for writing
     * elsewhere) gives count 0, so a reader never takes the previous plan
     * for the one just activated. */
    FILE *file = _fsopen(PlanPath, "rt", _SH_DENYWR);
    if (file != NULL) {
        /* Cleared once, so that the length of each line can be taken a
         * word at a time, over bytes that no line may have reached yet. */
        char line[PLAN_LINE_SIZE];
        memset(line, 0, sizeof line);
        while (fgets(line, sizeof line, file) != NULL)
            if (!ScanPlanLine(&scan, &planBlock, line, PlanLineLength(line, sizeof line)))
                break;
    }
    EndPlanScan(&scan, &planBlock);
    if (file != NULL)
        fclose(file);
}
