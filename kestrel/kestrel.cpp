/* The library's entry points: the add-on host calls DLLStart when it starts
 * the add-on and DLLStop when it ends it. */
#include <windows.h>

#include "dispatch.h"
#include "published_blocks.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    (void)instance;
    (void)reason;
    (void)reserved;
    return TRUE;
}

extern "C" int WINAPI DLLStart(void)
{
    CreateBridgeSections();
    planBlock.active = 0;
    if (SimConnect_Open(&simConnect, "KESTREL_DLL", NULL, 0, NULL, 0) < 0)
        return 0;
    SimConnect_SubscribeToSystemEvent(simConnect, PlanActivatedEvent, "FlightPlanActivated");
    SimConnect_SubscribeToSystemEvent(simConnect, PlanDeactivatedEvent, "FlightPlanDeactivated");
    SimConnect_CallDispatch(simConnect, OnSimConnectMessage, NULL);
    return 0;
}

extern "C" void WINAPI DLLStop(void)
{
    if (simConnect != NULL)
        SimConnect_Close(simConnect);
    CloseBridgeSections();
}
