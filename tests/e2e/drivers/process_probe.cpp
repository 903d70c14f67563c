// process_probe.exe NAME: one line of what Windows reports about the first
// running process whose executable is NAME (for the soak run):
//   working_set_kb=N private_kb=N handles=N gdi=N user=N
// A figure the system cannot give is printed as -1. Exits 1 with a message
// when no such process runs or it cannot be opened.
#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: process_probe NAME\n");
    return 2;
  }
  DWORD pid = 0;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot != INVALID_HANDLE_VALUE) {
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more && pid == 0;
         more = Process32Next(snapshot, &entry)) {
      if (_stricmp(entry.szExeFile, argv[1]) == 0) pid = entry.th32ProcessID;
    }
    CloseHandle(snapshot);
  }
  if (pid == 0) {
    std::fprintf(stderr, "error: no process named %s runs\n", argv[1]);
    return 1;
  }
  HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
  if (process == nullptr) {
    std::fprintf(stderr, "error: cannot open process %lu (error %lu)\n",
                 static_cast<unsigned long>(pid), static_cast<unsigned long>(GetLastError()));
    return 1;
  }
  long long workingSet = -1, privateBytes = -1, handles = -1;
  PROCESS_MEMORY_COUNTERS_EX memory{};
  memory.cb = sizeof memory;
  if (GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                           sizeof memory)) {
    workingSet = static_cast<long long>(memory.WorkingSetSize / 1024);
    privateBytes = static_cast<long long>(memory.PrivateUsage / 1024);
  }
  DWORD handleCount = 0;
  if (GetProcessHandleCount(process, &handleCount)) handles = handleCount;
  // 0 is what a system that does not count them returns, too.
  const long long gdi = GetGuiResources(process, GR_GDIOBJECTS);
  const long long user = GetGuiResources(process, GR_USEROBJECTS);
  std::printf("working_set_kb=%lld private_kb=%lld handles=%lld gdi=%lld user=%lld\n", workingSet,
              privateBytes, handles, gdi, user);
  CloseHandle(process);
  return 0;
}
