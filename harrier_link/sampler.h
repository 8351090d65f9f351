/* The 100 ms sampler: host variables in, LinkBlock out to "HARRIER_Link". */
#ifndef HARRIER_SAMPLER_H
#define HARRIER_SAMPLER_H

#include <windows.h>

void CALLBACK SampleTick(HWND window, UINT message, UINT_PTR timer, DWORD time);

#endif
