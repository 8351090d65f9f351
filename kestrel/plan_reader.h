#ifndef KESTREL_PLAN_READER_H
#define KESTREL_PLAN_READER_H

/* Reads the plan file named in PlanPath into planBlock's count and
 * waypoints, then closes it. Publishes nothing; the caller does. */
void ReadFlightPlan(void);

#endif
