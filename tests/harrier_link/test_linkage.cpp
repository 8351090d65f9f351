// What the module loader sees: the export table, the two records, the
// imports, the menu resource, the entry point, and the calls LinkInit and
// LinkDeinit make.
#include <gtest/gtest.h>

#include <string.h>

#include "harrier_fixture.h"
#include "kestrel_host.h"
#include "pe_image.h"

namespace {

const IMAGE_SECTION_HEADER *SectionOf(HMODULE module, const void *address)
{
    const BYTE *base = (const BYTE *)module;
    const IMAGE_NT_HEADERS32 *nt = (const IMAGE_NT_HEADERS32 *)(base + ((const IMAGE_DOS_HEADER *)base)->e_lfanew);
    const IMAGE_SECTION_HEADER *s = IMAGE_FIRST_SECTION(nt);
    DWORD rva = (DWORD)((const BYTE *)address - base);
    for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i)
        if (rva >= s[i].VirtualAddress && rva < s[i].VirtualAddress + s[i].Misc.VirtualSize)
            return &s[i];
    return nullptr;
}

// The loader's record of a module (32-bit layout), for its flags.
struct LoaderName {
    USHORT length, maximumLength;
    WCHAR *buffer;
};
struct LoaderEntry {
    LIST_ENTRY inLoadOrder, inMemoryOrder, inInitOrder;
    void *base;
    void *entryPoint;
    ULONG sizeOfImage;
    LoaderName fullName, baseName;
    ULONG flags;
};

const LoaderEntry *FindLoaderEntry(HMODULE module)
{
    const BYTE *peb;
    __asm__("movl %%fs:0x30, %0" : "=r"(peb)); // the thread block's PEB pointer
    const BYTE *ldr = *(const BYTE *const *)(peb + 0x0C);
    const LIST_ENTRY *head = (const LIST_ENTRY *)(ldr + 0x0C);
    for (const LIST_ENTRY *e = head->Flink; e != head; e = e->Flink) {
        const LoaderEntry *entry = (const LoaderEntry *)e;
        if (entry->base == module)
            return entry;
    }
    return nullptr;
}

class HarrierLinkage : public HarrierScenario {};

TEST_F(HarrierLinkage, ExportsTheTwoDataRecordsAndNoFunction)
{
    std::vector<PeExport> exports = ExportedNames(host.library);
    ASSERT_EQ(exports.size(), 2u);
    EXPECT_EQ(exports[0].name, "ImportTable");
    EXPECT_EQ(exports[1].name, "Linkage");
    for (const PeExport &e : exports)
        EXPECT_FALSE(e.inCode) << e.name << " lies in code";
    // The host writes into ImportTable; both sit in writable data.
    for (const void *record : {(const void *)host.linkage, (const void *)host.importTable}) {
        const IMAGE_SECTION_HEADER *s = SectionOf(host.library, record);
        ASSERT_NE(s, nullptr);
        EXPECT_TRUE(s->Characteristics & IMAGE_SCN_MEM_WRITE) << (const char *)s->Name << " is not writable";
    }
}

TEST_F(HarrierLinkage, RecordsHoldTheirValuesAtLoad)
{
    const uint32_t *l = host.linkage;
    EXPECT_EQ(l[0], 1u);
    EXPECT_EQ(l[3], 0u);
    EXPECT_EQ(l[4], 0u);
    EXPECT_EQ(l[5], 0x0900u);
    EXPECT_EQ(l[6], 0u);
    for (int i : {1, 2}) {
        const IMAGE_SECTION_HEADER *s = SectionOf(host.library, (const void *)(uintptr_t)l[i]);
        ASSERT_NE(s, nullptr) << "Linkage word " << i << " points outside the library";
        EXPECT_TRUE(s->Characteristics & IMAGE_SCN_MEM_EXECUTE) << "Linkage word " << i << " is no routine";
    }
    EXPECT_NE(l[1], l[2]);
    const uint32_t *t = host.importTable;
    EXPECT_EQ(t[0], 0x0Fu);
    EXPECT_EQ(t[1], 0u);
    EXPECT_EQ(t[2], 2u);
    EXPECT_EQ(t[3], 0u);
}

TEST_F(HarrierLinkage, ImportTableKeepsWhatTheHostWroteAndItsOtherWords)
{
    StartHarrier(&host);
    ASSERT_TRUE(PumpUntil([] { return lookups.size() >= 22; }, 3000));
    EXPECT_EQ(host.importTable[0], 0x0Fu);
    EXPECT_EQ(host.importTable[1], (uint32_t)(uintptr_t)primaryServices);
    EXPECT_EQ(host.importTable[2], 2u);
    EXPECT_EQ(host.importTable[3], 0u);
    StopHarrier(&host);
    EXPECT_EQ(host.importTable[2], 2u);
    EXPECT_EQ(host.importTable[3], 0u);
}

TEST_F(HarrierLinkage, ImportsSystemLibrariesOnly)
{
    ASSERT_FALSE(host.importedDlls.empty());
    for (const std::string &dll : host.importedDlls) {
        bool system = _stricmp(dll.c_str(), "KERNEL32.dll") == 0 || _stricmp(dll.c_str(), "USER32.dll") == 0 ||
                      _stricmp(dll.c_str(), "msvcrt.dll") == 0;
        EXPECT_TRUE(system) << "imports " << dll;
    }
}

TEST_F(HarrierLinkage, MenuResource201IsOneVersionInfoItem)
{
    HRSRC r = FindResourceA(host.library, MAKEINTRESOURCEA(201), (LPCSTR)RT_MENU);
    ASSERT_NE(r, nullptr);
    const unsigned char *bytes = (const unsigned char *)LockResource(LoadResource(host.library, r));
    std::string got = Hex(bytes, SizeofResource(host.library, r));
    // Header: version 0, header size 0. Item: flags MF_END, id 41001,
    // "VersionInfo" in UTF-16 with its terminator.
    std::string want = "00000000"
                       "8000" "29A0"
                       "56006500720073006900"
                       "6F006E0049006E0066006F000000";
    EXPECT_EQ(got, want);
}

TEST_F(HarrierLinkage, DllMainIgnoresThreadNotificationsAndKeepsItsInstance)
{
    // The runtime gives the library a TLS directory, and the loader refuses
    // to switch thread notifications off for such a module: they arrive,
    // return TRUE and change nothing. The menu still loads from the
    // library's own instance afterwards.
    const LoaderEntry *entry = FindLoaderEntry(host.library);
    ASSERT_NE(entry, nullptr);
    typedef BOOL(WINAPI * EntryPoint)(HINSTANCE, DWORD, LPVOID);
    EntryPoint start = (EntryPoint)entry->entryPoint;
    HINSTANCE other = GetModuleHandleA(NULL);
    EXPECT_EQ(start(other, DLL_THREAD_ATTACH, nullptr), TRUE);
    EXPECT_EQ(start(other, DLL_THREAD_DETACH, nullptr), TRUE);

    HWND main = Window(BuildMenu("&File#100{Open#101}", true));
    StartHarrier(&host, nullptr);
    ASSERT_TRUE(PumpUntil([] { return AttachTicks() >= 2; }, 4000));
    EXPECT_EQ(Keep(TracedCalls(), {"LoadMenuA"}),
              std::vector<std::string>{"LoadMenuA(module, #201) = versionMenu1"});
    (void)main;
}

TEST_F(HarrierLinkage, LinkInitCreatesTheSectionThenTheAttachTimerThenTheSampleTimer)
{
    StartHarrier(&host);
    std::vector<std::string> start = TracedCalls();
    EXPECT_EQ(start, (std::vector<std::string>{
                         "CreateFileMappingA(-1, 0, 4, 0, 1024, \"HARRIER_Link\") = section",
                         "SetTimer(0, 0, 1000, AttachTick) = attachTimer",
                         "SetTimer(0, 0, 100, SampleTick) = sampleTimer",
                     }))
        << Joined(start);
    // No main window: the attach timer searches once a second and finds nothing.
    ASSERT_TRUE(PumpUntil([] { return AttachTicks() >= 2; }, 4000));
    EXPECT_EQ(Drop(TracedCalls(), {"Lookup(", "MapViewOfFile", "UnmapViewOfFile", "CreateFileMappingA", "SetTimer"}),
              (std::vector<std::string>{"FindWindowExA(0, 0, \"FS98MAIN\", 0) = 0",
                                        "FindWindowExA(0, 0, \"FS98MAIN\", 0) = 0"}));

    // LinkDeinit stops the sampler, closes the section and, since the
    // attachment never finished, kills the attach timer too.
    ClearTrace();
    StopHarrier(&host);
    EXPECT_EQ(TracedCalls(), (std::vector<std::string>{
                                 "KillTimer(0, sampleTimer) = 1",
                                 "CloseHandle(section)",
                                 "KillTimer(0, attachTimer) = 1",
                             }))
        << Joined(TracedCalls());
    int attach = AttachTicks();
    PumpFor(1300);
    EXPECT_EQ(AttachTicks(), attach) << "the attach timer ran after LinkDeinit";
}

} // namespace
