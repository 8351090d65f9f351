#include "monitor_process.h"

#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>

namespace {

// A guard against a monitor that hangs; no test relies on this length.
const DWORD hangMs = 30000;

std::string Drain(HANDLE pipe)
{
    std::string text;
    char buffer[4096];
    DWORD got;
    while (ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) && got > 0)
        text.append(buffer, got);
    return text;
}

struct Pipe {
    HANDLE read = nullptr;
    HANDLE write = nullptr;
    bool Open()
    {
        SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
        if (!CreatePipe(&read, &write, &sa, 0))
            return false;
        SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
        return true;
    }
};

bool Launch(const std::string &arguments, HANDLE out, HANDLE err, PROCESS_INFORMATION *pi)
{
    std::string command = "monitor.exe " + arguments;
    std::vector<char> line(command.begin(), command.end());
    line.push_back('\0');
    STARTUPINFOA si;
    memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = out;
    si.hStdError = err;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    return CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, pi) != 0;
}

std::string TempFileName()
{
    char dir[MAX_PATH];
    char path[MAX_PATH];
    GetTempPathA(sizeof dir, dir);
    GetTempFileNameA(dir, "sec", 0, path);
    return path;
}

} // namespace

MonitorResult RunMonitor(const std::string &arguments)
{
    MonitorResult result = {false, 0, "", ""};
    Pipe out, err;
    if (!out.Open() || !err.Open())
        return result;
    PROCESS_INFORMATION pi;
    result.started = Launch(arguments, out.write, err.write, &pi);
    CloseHandle(out.write);
    CloseHandle(err.write);
    EXPECT_TRUE(result.started) << "cannot start monitor.exe " << arguments << ", error " << GetLastError();
    if (result.started) {
        result.out = Drain(out.read);
        result.err = Drain(err.read);
        WaitForSingleObject(pi.hProcess, INFINITE);
        GetExitCodeProcess(pi.hProcess, &result.exitCode);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    CloseHandle(out.read);
    CloseHandle(err.read);
    return result;
}

JsonValue OnceJson(const std::string &extraArguments, DWORD *exitCode)
{
    MonitorResult r = RunMonitor("--once --json --interval 20 " + extraArguments);
    if (exitCode)
        *exitCode = r.exitCode;
    JsonValue v;
    std::string error;
    size_t end = r.out.find('\n');
    EXPECT_NE(end, std::string::npos) << "no line from monitor: [" << r.out << "] stderr [" << r.err << "]";
    EXPECT_EQ(end + 1, r.out.size()) << "more than one line: " << r.out;
    std::string line = r.out.substr(0, end);
    EXPECT_TRUE(ParseJson(line, &v, &error)) << error << ": " << line;
    for (unsigned char c : line)
        EXPECT_TRUE(c >= 0x20 && c < 0x7F) << "JSON line holds byte " << (int)c << ": " << line;
    return v;
}

bool StartMonitor(LiveMonitor *monitor, const std::string &arguments)
{
    memset(&monitor->process, 0, sizeof monitor->process);
    monitor->output = nullptr;
    monitor->pending.clear();
    Pipe out;
    if (!out.Open())
        return false;
    bool started = Launch(arguments, out.write, GetStdHandle(STD_ERROR_HANDLE), &monitor->process);
    CloseHandle(out.write);
    monitor->output = out.read;
    EXPECT_TRUE(started) << "cannot start monitor.exe " << arguments;
    return started;
}

bool NextLine(LiveMonitor *monitor, std::string *line)
{
    DWORD waited = 0;
    for (;;) {
        size_t end = monitor->pending.find('\n');
        if (end != std::string::npos) {
            *line = monitor->pending.substr(0, end);
            if (!line->empty() && line->back() == '\r')
                line->pop_back();
            monitor->pending.erase(0, end + 1);
            return true;
        }
        DWORD available = 0;
        if (!PeekNamedPipe(monitor->output, nullptr, 0, nullptr, &available, nullptr))
            return false; // the monitor ended and its output is drained
        if (available == 0) {
            if (waited >= hangMs)
                return false;
            Sleep(5);
            waited += 5;
            continue;
        }
        char buffer[4096];
        DWORD got = 0;
        if (!ReadFile(monitor->output, buffer, sizeof buffer < available ? sizeof buffer : available, &got,
                      nullptr))
            return false;
        monitor->pending.append(buffer, got);
    }
}

DWORD WaitForExit(LiveMonitor *monitor)
{
    DWORD code = STILL_ACTIVE;
    if (WaitForSingleObject(monitor->process.hProcess, hangMs) == WAIT_OBJECT_0)
        GetExitCodeProcess(monitor->process.hProcess, &code);
    return code;
}

void StopMonitor(LiveMonitor *monitor)
{
    if (monitor->process.hProcess) {
        if (WaitForSingleObject(monitor->process.hProcess, 0) != WAIT_OBJECT_0)
            TerminateProcess(monitor->process.hProcess, 99);
        WaitForSingleObject(monitor->process.hProcess, INFINITE);
        CloseHandle(monitor->process.hThread);
        CloseHandle(monitor->process.hProcess);
    }
    if (monitor->output)
        CloseHandle(monitor->output);
    memset(&monitor->process, 0, sizeof monitor->process);
    monitor->output = nullptr;
}

HANDLE CreateSection(const char *name, DWORD size, const void *bytes, size_t count)
{
    HANDLE h = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, size, name);
    EXPECT_NE(h, nullptr) << "cannot create " << name;
    EXPECT_NE(GetLastError(), (DWORD)ERROR_ALREADY_EXISTS) << name << " was left by an earlier test";
    if (h && count)
        WriteSection(h, bytes, count);
    return h;
}

HANDLE CreateFileSection(const char *name, const void *bytes, size_t count, bool readOnly)
{
    std::string path = TempFileName();
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    EXPECT_NE(file, INVALID_HANDLE_VALUE) << path;
    if (file == INVALID_HANDLE_VALUE)
        return nullptr;
    DWORD written = 0;
    WriteFile(file, bytes, (DWORD)count, &written, nullptr);
    EXPECT_EQ(written, count);
    HANDLE h = CreateFileMappingA(file, nullptr, readOnly ? PAGE_READONLY : PAGE_READWRITE, 0, 0, name);
    EXPECT_NE(h, nullptr) << "cannot create " << name << " over " << path << ", error " << GetLastError();
    // The section keeps the file open; the file goes when the section does.
    CloseHandle(file);
    return h;
}

void WriteSection(HANDLE section, const void *bytes, size_t count)
{
    void *view = MapViewOfFile(section, FILE_MAP_WRITE, 0, 0, 0);
    ASSERT_NE(view, nullptr);
    memcpy(view, bytes, count);
    UnmapViewOfFile(view);
}

HeldSections::~HeldSections()
{
    for (HANDLE h : handles)
        if (h)
            CloseHandle(h);
}

HANDLE HeldSections::Keep(HANDLE h)
{
    handles.push_back(h);
    return h;
}

void HeldSections::Close(HANDLE h)
{
    for (HANDLE &held : handles)
        if (held == h) {
            CloseHandle(h);
            held = nullptr;
        }
}
