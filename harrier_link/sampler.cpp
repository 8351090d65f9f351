#include "sampler.h"

#include "module_linkage.h"
#include "sections.h"
#include "shared_block.h"
#include "token_variable.h"

/* One record per token, in lookup order, lent to the host at every tick and
 * never rewritten here: the host's bytes in them persist between ticks. */
static TokenVariable tokenVariables[TOKEN_COUNT] = {
    {0x56, {0}, {0}, {0}},  /* HeadingToken */
    {0x47, {0}, {0}, {0}},  /* LatitudeToken */
    {0x48, {0}, {0}, {0}},  /* LongitudeToken */
    {0x49, {0}, {0}, {0}},  /* AltitudeToken */
    {0x52, {0}, {0}, {0}},  /* GroundAltitudeToken */
    {0x227, {0}, {0}, {0}}, /* GroundSpeedToken */
    {5, {0}, {0}, {0}},     /* SecondToken */
    {7, {0}, {0}, {0}},     /* MinuteToken */
    {6, {0}, {0}, {0}},     /* HourToken */
    {4, {0}, {0}, {0}},     /* Clock2MinuteToken */
    {3, {0}, {0}, {0}},     /* Clock2HourToken */
};

/* Rewritten whole at every complete tick, then published. */
static LinkBlock linkBlock;

void CALLBACK SampleTick(HWND window, UINT message, UINT_PTR timer, DWORD time)
{
    (void)window;
    (void)message;
    (void)timer;
    (void)time;
    int complete = 1;
    for (int i = 0; i < TOKEN_COUNT; ++i)
        complete &= CallLookupTokenVariable(&tokenVariables[i]);
    /* Without the host's table the values are stale: the reader keeps the
     * last complete sample instead. */
    if (!complete)
        return;
    FillLinkBlock(tokenVariables, &linkBlock);
    PublishSharedBlock(linkSection, &linkBlock, sizeof linkBlock);
}
