// Starts a GUI program and reports, on one line: microseconds from the start until its window
// is shown and its GUI thread has gone idle (the first paint handled), then, after a second of
// idling, its private bytes and working set in KiB. Ends the program after.
// Usage: bench_startup_probe PROGRAM.exe
#include <windows.h>

#include <psapi.h>

#include <cstdio>
#include <string>

namespace {

struct Found {
    DWORD process;
    bool visible;
};

BOOL CALLBACK LookForWindow(HWND window, LPARAM data) {
    auto* found = reinterpret_cast<Found*>(data);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (owner == found->process && ::IsWindowVisible(window)) {
        found->visible = true;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench_startup_probe PROGRAM.exe\n");
        return 2;
    }
    std::string command = std::string("\"") + argv[1] + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    LARGE_INTEGER frequency;
    LARGE_INTEGER start;
    LARGE_INTEGER shown;
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&start);
    if (!::CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &process)) {
        return 1;
    }
    Found found{process.dwProcessId, false};
    while (!found.visible) {
        ::WaitForInputIdle(process.hProcess, 10);
        ::EnumWindows(&LookForWindow, reinterpret_cast<LPARAM>(&found));
    }
    ::WaitForInputIdle(process.hProcess, INFINITE);
    ::QueryPerformanceCounter(&shown);
    ::Sleep(1000);  // idle, as a user's window mostly is: what it holds then is its footprint
    PROCESS_MEMORY_COUNTERS_EX memory{};
    ::GetProcessMemoryInfo(process.hProcess, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                           sizeof(memory));
    ::TerminateProcess(process.hProcess, 0);
    ::WaitForSingleObject(process.hProcess, INFINITE);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    std::printf("%lld %lu %lu\n", (shown.QuadPart - start.QuadPart) * 1000000 / frequency.QuadPart,
                static_cast<unsigned long>(memory.PrivateUsage / 1024),
                static_cast<unsigned long>(memory.WorkingSetSize / 1024));
    return 0;
}
