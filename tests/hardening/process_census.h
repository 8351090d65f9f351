// What a long run could leak: handles and mapped views of this process.
#ifndef PROCESS_CENSUS_H
#define PROCESS_CENSUS_H

#include <windows.h>

struct ProcessCensus {
    DWORD handles;
    DWORD mappedViews; // distinct MEM_MAPPED allocations in the address space
};

ProcessCensus TakeCensus();

// Scale of the long runs: 1 in `make test`, larger for `make soak`
// (environment variable SOAK_SCALE).
unsigned SoakScale();

#endif
