#include "dispatch.h"

#include <string.h>

#include "plan_path.h"
#include "plan_reader.h"
#include "published_blocks.h"
#include "time_split.h"

HANDLE simConnect;

namespace {

struct DataVariable {
    DWORD definition;
    const char *name;
    const char *unit;
};

/* In the order they are added: the state request's values arrive in this
 * order and land in StateBlock's first six fields. */
const DataVariable dataVariables[] = {
    {StateDefinition, "Plane Altitude", "feet"},
    {StateDefinition, "Plane Latitude", "degrees"},
    {StateDefinition, "Plane Longitude", "degrees"},
    {StateDefinition, "Plane Heading Degrees True", "degrees"},
    {StateDefinition, "Ground Velocity", "Knots"},
    {StateDefinition, "Ground Altitude", "Meters"},
    {TimeDefinition, "Local Time", "Seconds"},
};

const DWORD stateValueCount = 6;

void RequestBoth(DWORD period)
{
    SimConnect_RequestDataOnSimObject(simConnect, StateDefinition, StateDefinition,
                                      SIMCONNECT_OBJECT_ID_USER, period, 0, 0, 0, 0);
    SimConnect_RequestDataOnSimObject(simConnect, TimeDefinition, TimeDefinition,
                                      SIMCONNECT_OBJECT_ID_USER, period, 0, 0, 0, 0);
}

/* Messages come from another program: every action first checks that the
 * message's own dwSize covers the fields it reads. */
void OnObjectData(const unsigned char *bytes, DWORD length)
{
    if (length < SIMCONNECT_DATA_OFFSET)
        return;
    DWORD request;
    memcpy(&request, bytes + offsetof(SIMCONNECT_RECV_SIMOBJECT_DATA, dwRequestID), sizeof request);
    const unsigned char *values = bytes + SIMCONNECT_DATA_OFFSET;
    DWORD valueBytes = length - SIMCONNECT_DATA_OFFSET;
    if (request == StateDefinition) {
        if (valueBytes < stateValueCount * sizeof(double))
            return;
        double v[6];
        memcpy(v, values, sizeof v);
        stateBlock.altitude = v[0];
        stateBlock.latitude = v[1];
        stateBlock.longitude = v[2];
        stateBlock.heading = v[3];
        stateBlock.groundSpeed = v[4];
        stateBlock.groundAltitude = v[5];
        PublishState();
    } else if (request == TimeDefinition) {
        if (valueBytes < sizeof(double))
            return;
        double seconds;
        memcpy(&seconds, values, sizeof seconds);
        TimeOfDay time;
        /* A time that does not split into int32 fields is no time of day:
         * the message is dropped and the last published time stands. */
        if (!SplitLocalTime(seconds, &time))
            return;
        stateBlock.hour = time.hour;
        stateBlock.minute = time.minute;
        stateBlock.second = time.second;
        PublishState();
    }
}

void OnPlanActivated(const unsigned char *bytes, DWORD length)
{
    const DWORD nameOffset = offsetof(SIMCONNECT_RECV_EVENT_FILENAME, szFileName);
    if (length <= nameOffset)
        return;
    DWORD fieldBytes = length - nameOffset;
    if (fieldBytes > SIMCONNECT_FILENAME_FIELD)
        fieldBytes = SIMCONNECT_FILENAME_FIELD;
    /* A name that is unterminated or too long for PlanPath leaves PlanPath
     * empty: the reader then opens nothing, and a plan taken over now is
     * published with no waypoints rather than with a wrong file's. */
    CopyPlanPath(PlanPath, sizeof PlanPath, (const char *)bytes + nameOffset, fieldBytes);
    if (planBlock.active == 1)
        return;
    planBlock.active = 1;
    ReadFlightPlan();
    PublishPlan();
}

DWORD EventId(const unsigned char *bytes)
{
    DWORD id;
    memcpy(&id, bytes + offsetof(SIMCONNECT_RECV_EVENT, uEventID), sizeof id);
    return id;
}

} // namespace

void RegisterDataRequests(void)
{
    for (const DataVariable &v : dataVariables)
        SimConnect_AddToDataDefinition(simConnect, v.definition, v.name, v.unit,
                                       SIMCONNECT_DATATYPE_FLOAT64, 0.0f, SIMCONNECT_UNUSED);
    RequestBoth(SIMCONNECT_PERIOD_VISUAL_FRAME);
}

void CALLBACK OnSimConnectMessage(SIMCONNECT_RECV *message, DWORD size, void *context)
{
    (void)size;
    (void)context;
    if (message == NULL)
        return;
    const unsigned char *bytes = (const unsigned char *)message;
    DWORD length = message->dwSize;
    if (length < sizeof(SIMCONNECT_RECV))
        return;
    switch (message->dwID) {
    case SIMCONNECT_RECV_ID_OPEN:
        RegisterDataRequests();
        break;
    case SIMCONNECT_RECV_ID_QUIT:
        RequestBoth(SIMCONNECT_PERIOD_NEVER);
        break;
    case SIMCONNECT_RECV_ID_EVENT:
        if (length >= offsetof(SIMCONNECT_RECV_EVENT, dwData) && EventId(bytes) == PlanDeactivatedEvent)
            planBlock.active = 0;
        break;
    case SIMCONNECT_RECV_ID_EVENT_FILENAME:
        if (length >= offsetof(SIMCONNECT_RECV_EVENT, dwData) && EventId(bytes) == PlanActivatedEvent)
            OnPlanActivated(bytes, length);
        break;
    case SIMCONNECT_RECV_ID_SIMOBJECT_DATA:
        OnObjectData(bytes, length);
        break;
    default:
        break;
    }
}
