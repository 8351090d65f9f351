/* The two records kestrel publishes, the plan-file path handed from the
 * dispatch routine to the plan reader, and the sections that carry them. */
#ifndef KESTREL_PUBLISHED_BLOCKS_H
#define KESTREL_PUBLISHED_BLOCKS_H

#include "sections.h"

#define PLAN_PATH_SIZE 256

/* Filled by the state and time messages; published whole after each. */
extern StateBlock stateBlock;
/* active is the plan gate; count and waypoints are the plan reader's. */
extern PlanBlock planBlock;
/* Path from the latest activation message; always NUL-terminated. */
extern char PlanPath[PLAN_PATH_SIZE];

void CreateBridgeSections(void);
void CloseBridgeSections(void);
int PublishState(void);
int PublishPlan(void);

#endif
