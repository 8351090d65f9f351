/* The one host service the module uses. */
#include "module_linkage.h"

int CallLookupTokenVariable(TokenVariable *record)
{
    /* Read afresh for every call: the host may move or withdraw its table
     * at any time, even from inside a lookup. */
    PanelServices *services = ImportTable.panelServices;
    if (services == NULL || services->LookupTokenVariable == NULL)
        return 0;
    services->LookupTokenVariable(record);
    return 1;
}
