#include "published_blocks.h"

#include "shared_block.h"

StateBlock stateBlock;
PlanBlock planBlock;
char PlanPath[PLAN_PATH_SIZE];

/* Null until DLLStart creates them, and when creation failed; closed by
 * DLLStop but never reset. */
static HANDLE dataSection;
static HANDLE planSection;

void CreateBridgeSections(void)
{
    dataSection = CreateSharedBlock(KESTREL_DATA_NAME, KESTREL_DATA_SIZE);
    planSection = CreateSharedBlock(KESTREL_PLAN_NAME, KESTREL_PLAN_SIZE);
}

void CloseBridgeSections(void)
{
    CloseSharedBlock(dataSection);
    CloseSharedBlock(planSection);
}

int PublishState(void)
{
    return PublishSharedBlock(dataSection, &stateBlock, sizeof stateBlock);
}

int PublishPlan(void)
{
    return PublishSharedBlock(planSection, &planBlock, sizeof planBlock);
}
