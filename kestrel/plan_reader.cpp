#include "plan_reader.h"

#include "published_blocks.h"

void ReadFlightPlan(void)
{
    /* The file loop and the line scanner come with the plan reader; until
     * then an activation publishes an empty plan. */
    planBlock.count = 0;
}
