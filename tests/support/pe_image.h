// Reading a loaded module's own PE tables, as a host's loader sees them.
#ifndef TESTS_PE_IMAGE_H
#define TESTS_PE_IMAGE_H

#include <windows.h>

#include <string>
#include <vector>

struct PeExport {
    std::string name;
    bool inCode; // the address lies in an executable section
};

inline std::vector<PeExport> ExportedNames(HMODULE module)
{
    std::vector<PeExport> out;
    const BYTE *base = (const BYTE *)module;
    const IMAGE_DOS_HEADER *dos = (const IMAGE_DOS_HEADER *)base;
    const IMAGE_NT_HEADERS32 *nt = (const IMAGE_NT_HEADERS32 *)(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY &dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    if (dir.VirtualAddress == 0)
        return out;
    const IMAGE_EXPORT_DIRECTORY *exp = (const IMAGE_EXPORT_DIRECTORY *)(base + dir.VirtualAddress);
    const DWORD *names = (const DWORD *)(base + exp->AddressOfNames);
    const WORD *ordinals = (const WORD *)(base + exp->AddressOfNameOrdinals);
    const DWORD *functions = (const DWORD *)(base + exp->AddressOfFunctions);
    const IMAGE_SECTION_HEADER *sections = IMAGE_FIRST_SECTION(nt);
    for (DWORD i = 0; i < exp->NumberOfNames; ++i) {
        DWORD rva = functions[ordinals[i]];
        bool code = false;
        for (WORD s = 0; s < nt->FileHeader.NumberOfSections; ++s) {
            const IMAGE_SECTION_HEADER &sec = sections[s];
            if (rva >= sec.VirtualAddress && rva < sec.VirtualAddress + sec.Misc.VirtualSize)
                code = (sec.Characteristics & IMAGE_SCN_MEM_EXECUTE) != 0;
        }
        out.push_back({(const char *)(base + names[i]), code});
    }
    return out;
}

// The manifest resource (RT_MANIFEST) with the given id, as text.
inline std::string ManifestText(HMODULE module, int id)
{
    HRSRC r = FindResourceA(module, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(24));
    if (!r)
        return std::string();
    HGLOBAL g = LoadResource(module, r);
    return std::string((const char *)LockResource(g), SizeofResource(module, r));
}

#endif
