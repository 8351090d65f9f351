/* What the Flight Simulator 2004 module loader sees of harrier_link: the
 * two exported records, the host's service table, and the state that the
 * module's start and stop share with the sampler and the window code. */
#ifndef HARRIER_MODULE_LINKAGE_H
#define HARRIER_MODULE_LINKAGE_H

#include <windows.h>

#include <stddef.h>
#include <stdint.h>

#include "token_variable.h"

/* Both routines take nothing and return nothing; with no arguments the
 * host's calling convention makes no difference. */
typedef void(WINAPI *ModuleRoutine)(void);

/* Exported as Linkage: seven 32-bit words. The module never reads them. */
typedef struct ModuleLinkage {
    int32_t moduleId;          /* 1 */
    ModuleRoutine init;        /* LinkInit */
    ModuleRoutine deinit;      /* LinkDeinit */
    int32_t host12;            /* host-defined, 0 */
    int32_t host16;            /* host-defined, 0 */
    int32_t interfaceVersion;  /* 0x0900 */
    int32_t host24;            /* host-defined, 0 */
} ModuleLinkage;

/* The host's service table. Only entry 40 is ever read. The lookup fills
 * bytes 12-19 of the record and pops its one argument (stdcall). */
typedef void(WINAPI *LookupTokenVariableFn)(TokenVariable *record);
typedef void(WINAPI *PanelServiceFn)(void);
typedef struct PanelServices {
    PanelServiceFn unused[40];
    LookupTokenVariableFn LookupTokenVariable;
} PanelServices;

/* Exported as ImportTable: the host writes its PanelServices address into
 * panelServices. Volatile, so that every lookup reads what the host left
 * there last. */
typedef struct ModuleImports {
    int32_t tableId;                     /* 0x0F */
    PanelServices *volatile panelServices; /* 0 until the host fills it */
    int32_t host8;                       /* 2; never touched */
    int32_t host12;                      /* 0; never touched */
} ModuleImports;

SECTIONS_ASSERT(sizeof(void *) == 4, "the host loads 32-bit modules only");
SECTIONS_ASSERT(sizeof(ModuleLinkage) == 28, "Linkage size");
SECTIONS_ASSERT(offsetof(ModuleLinkage, interfaceVersion) == 20, "Linkage.interfaceVersion");
SECTIONS_ASSERT(sizeof(ModuleImports) == 16, "ImportTable size");
SECTIONS_ASSERT(offsetof(ModuleImports, panelServices) == 4, "ImportTable.panelServices");
SECTIONS_ASSERT(offsetof(PanelServices, LookupTokenVariable) == 0xA0, "PanelServices entry 40");

extern "C" ModuleLinkage Linkage;
extern "C" ModuleImports ImportTable;

/* The library's own instance, from DllMain; menu resources load from it. */
extern HINSTANCE moduleInstance;
/* "HARRIER_Link" from LinkInit until LinkDeinit; null when creation failed. */
extern HANDLE linkSection;
/* Non-zero while the attach timer runs; zero once it has been killed. */
extern UINT_PTR attachTimer;
/* The sample timer, killed by LinkDeinit. */
extern UINT_PTR sampleTimer;

void WINAPI LinkInit(void);
void WINAPI LinkDeinit(void);

/* One call of the host's LookupTokenVariable, through the table that
 * ImportTable names at this moment. Returns 0, without calling, while the
 * host has left no table or no entry 40 there. */
int CallLookupTokenVariable(TokenVariable *record);

#endif
