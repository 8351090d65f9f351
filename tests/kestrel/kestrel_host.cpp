#include "kestrel_host.h"

#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>

namespace {

template <typename T> bool Resolve(HMODULE module, const char *name, T *out)
{
    *out = reinterpret_cast<T>(reinterpret_cast<void *>(GetProcAddress(module, name)));
    return *out != nullptr;
}

void PutDword(std::vector<unsigned char> *m, size_t offset, DWORD value)
{
    memcpy(m->data() + offset, &value, sizeof value);
}

std::vector<unsigned char> Header(DWORD kind, DWORD size)
{
    std::vector<unsigned char> m(size, 0);
    PutDword(&m, 0, size);
    PutDword(&m, 4, 4); // protocol version; kestrel does not read it
    PutDword(&m, 8, kind);
    return m;
}

} // namespace

bool LoadKestrel(KestrelHost *host)
{
    memset(host, 0, sizeof *host);
    EXPECT_EQ(GetModuleHandleA("kestrel.dll"), nullptr) << "an earlier scenario left kestrel.dll loaded";
    host->library = LoadLibraryA("kestrel.dll");
    EXPECT_NE(host->library, nullptr) << "LoadLibraryA(kestrel.dll) failed, error " << GetLastError();
    if (!host->library)
        return false;
    host->simConnect = GetModuleHandleA("SimConnect.dll");
    EXPECT_NE(host->simConnect, nullptr) << "kestrel.dll did not bind SimConnect.dll";
    bool ok = host->simConnect && Resolve(host->library, "DLLStart", &host->start) &&
              Resolve(host->library, "DLLStop", &host->stop) &&
              Resolve(host->simConnect, "StubSetOpenResult", &host->setOpenResult) &&
              Resolve(host->simConnect, "StubCallCount", &host->callCount) &&
              Resolve(host->simConnect, "StubCall", &host->call) &&
              Resolve(host->simConnect, "StubDeliver", &host->deliver) &&
              Resolve(host->simConnect, "StubClearCalls", &host->clearCalls);
    EXPECT_TRUE(ok) << "exports missing";
    return ok;
}

void UnloadKestrel(KestrelHost *host)
{
    if (host->library)
        FreeLibrary(host->library);
    EXPECT_EQ(GetModuleHandleA("kestrel.dll"), nullptr);
    EXPECT_EQ(GetModuleHandleA("SimConnect.dll"), nullptr);
    memset(host, 0, sizeof *host);
}

std::vector<std::string> RecordedCalls(const KestrelHost &host)
{
    std::vector<std::string> out;
    int n = host.callCount();
    for (int i = 0; i < n; ++i)
        out.push_back(host.call(i));
    return out;
}

std::vector<unsigned char> OpenMessage()
{
    return Header(2, 280); // the open message carries application data kestrel ignores
}

std::vector<unsigned char> QuitMessage()
{
    return Header(3, 12);
}

std::vector<unsigned char> EventMessage(DWORD eventId)
{
    std::vector<unsigned char> m = Header(4, 24);
    PutDword(&m, 12, 0xFFFFFFFFu); // no notification group
    PutDword(&m, 16, eventId);
    return m;
}

std::vector<unsigned char> FileNameEventMessage(DWORD eventId, const std::string &fileName)
{
    std::vector<unsigned char> m = Header(6, 288);
    PutDword(&m, 12, 0xFFFFFFFFu);
    PutDword(&m, 16, eventId);
    memcpy(m.data() + 24, fileName.data(), fileName.size() < 260 ? fileName.size() : 260);
    return m;
}

std::vector<unsigned char> DataMessage(DWORD requestId, const std::vector<double> &values)
{
    std::vector<unsigned char> m = Header(8, (DWORD)(40 + 8 * values.size()));
    PutDword(&m, 12, requestId);
    PutDword(&m, 16, 0);         // object: the user aircraft
    PutDword(&m, 20, requestId); // definition
    PutDword(&m, 28, 1);         // entry 1 of 1
    PutDword(&m, 32, 1);
    PutDword(&m, 36, (DWORD)values.size());
    if (!values.empty())
        memcpy(m.data() + 40, values.data(), 8 * values.size());
    return m;
}

std::vector<unsigned char> StateMessage(double altitude, double latitude, double longitude, double heading,
                                        double groundSpeed, double groundAltitude)
{
    return DataMessage(0, {altitude, latitude, longitude, heading, groundSpeed, groundAltitude});
}

std::vector<unsigned char> TimeMessage(double localTime)
{
    return DataMessage(1, {localTime});
}

void Deliver(const KestrelHost &host, const std::vector<unsigned char> &message)
{
    ASSERT_TRUE(host.deliver(message.data(), (DWORD)message.size())) << "no dispatch routine was handed over";
}

std::vector<unsigned char> ReadSection(const char *name, size_t size)
{
    std::vector<unsigned char> out;
    HANDLE h = OpenFileMappingA(FILE_MAP_READ, FALSE, name);
    if (!h)
        return out;
    void *view = MapViewOfFile(h, FILE_MAP_READ, 0, 0, 0);
    if (view) {
        out.assign((unsigned char *)view, (unsigned char *)view + size);
        UnmapViewOfFile(view);
    }
    CloseHandle(h);
    return out;
}

StateBlock ReadState()
{
    StateBlock s;
    memset(&s, 0xEE, sizeof s);
    std::vector<unsigned char> b = ReadSection(KESTREL_DATA_NAME, sizeof s);
    EXPECT_EQ(b.size(), sizeof s) << "KESTREL_DATA not readable";
    if (b.size() == sizeof s)
        memcpy(&s, b.data(), sizeof s);
    return s;
}

PlanBlock ReadPlan()
{
    PlanBlock p;
    memset(&p, 0xEE, sizeof p);
    std::vector<unsigned char> b = ReadSection(KESTREL_PLAN_NAME, sizeof p);
    EXPECT_EQ(b.size(), sizeof p) << "KESTREL_PLAN not readable";
    if (b.size() == sizeof p)
        memcpy(&p, b.data(), sizeof p);
    return p;
}

std::vector<unsigned char> ReadSectionFromProcess(const char *name, size_t size)
{
    std::vector<unsigned char> out;
    char command[256];
    snprintf(command, sizeof command, "section_dump.exe %s %u", name, (unsigned)size);
    SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
    HANDLE readEnd, writeEnd;
    if (!CreatePipe(&readEnd, &writeEnd, &sa, 0))
        return out;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA si;
    memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = writeEnd;
    si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION pi;
    BOOL started = CreateProcessA(nullptr, command, nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
    CloseHandle(writeEnd);
    EXPECT_TRUE(started) << "cannot start " << command;
    if (started) {
        std::string text;
        char buffer[4096];
        DWORD got;
        while (ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got > 0)
            text.append(buffer, got);
        WaitForSingleObject(pi.hProcess, INFINITE);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
        for (size_t i = 0; i + 1 < text.size(); i += 2) {
            unsigned v;
            if (sscanf(text.c_str() + i, "%2x", &v) != 1)
                break;
            out.push_back((unsigned char)v);
        }
    }
    CloseHandle(readEnd);
    return out;
}

// Writes a sentinel over a whole section, so a test can tell whether the
// library published into it since.
void Scribble(const char *name, size_t size)
{
    HANDLE h = OpenFileMappingA(FILE_MAP_WRITE, FALSE, name);
    ASSERT_NE(h, nullptr) << name;
    void *view = MapViewOfFile(h, FILE_MAP_WRITE, 0, 0, 0);
    ASSERT_NE(view, nullptr);
    for (size_t i = 0; i < size; i += 4)
        memcpy((char *)view + i, "\xEF\xBE\xAD\xDE", 4);
    UnmapViewOfFile(view);
    CloseHandle(h);
}

bool AllSentinel(const std::vector<unsigned char> &b)
{
    for (size_t i = 0; i < b.size(); ++i)
        if (b[i] != (unsigned char)"\xEF\xBE\xAD\xDE"[i % 4])
            return false;
    return !b.empty();
}

bool AllZero(const std::vector<unsigned char> &b, size_t from)
{
    for (size_t i = from; i < b.size(); ++i)
        if (b[i] != 0)
            return false;
    return !b.empty();
}

