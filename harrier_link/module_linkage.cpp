/* The module's linkage with its host: the exported records, the entry
 * point, and start and stop. */
#include "module_linkage.h"

#include "main_window.h"
#include "sampler.h"
#include "sections.h"
#include "shared_block.h"

/* Read by the host's loader only; the module never looks at it. */
ModuleLinkage Linkage = {1, LinkInit, LinkDeinit, 0, 0, 0x0900, 0};
/* The host fills byte 4 before the first sample tick; bytes 8-15 stay as
 * they are here for the library's life. */
ModuleImports ImportTable = {0x0F, NULL, 2, 0};

HINSTANCE moduleInstance;
HANDLE linkSection;
UINT_PTR attachTimer;
UINT_PTR sampleTimer;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH) {
        moduleInstance = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

void WINAPI LinkInit(void)
{
    mainWindow = NULL;
    linkSection = CreateSharedBlock(HARRIER_LINK_NAME, HARRIER_LINK_SIZE);
    attachTimer = SetTimer(NULL, 0, 1000, AttachTick);
    sampleTimer = SetTimer(NULL, 0, 100, SampleTick);
}

void WINAPI LinkDeinit(void)
{
    KillTimer(NULL, sampleTimer);
    sampleTimer = 0;
    CloseSharedBlock(linkSection);
    linkSection = NULL;
    /* The host unloads the library next: neither the attach timer nor the
     * window procedure may still lead into it afterwards. */
    ReleaseMainWindow();
}
