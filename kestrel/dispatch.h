#ifndef KESTREL_DISPATCH_H
#define KESTREL_DISPATCH_H

#include "simconnect.h"

/* Client events and data definitions that kestrel chooses. Each request
 * uses the number of its definition as its request id. */
enum {
    PlanActivatedEvent = 1,
    PlanDeactivatedEvent = 2,
    StateDefinition = 0,
    TimeDefinition = 1
};

/* Null until SimConnect_Open succeeds; never reset. */
extern HANDLE simConnect;

void CALLBACK OnSimConnectMessage(SIMCONNECT_RECV *message, DWORD size, void *context);
void RegisterDataRequests(void);

#endif
