// Runs the Windows command line held in the environment variable
// ZORBEL_COMMAND_LINE as Windows runs an uninstall entry's: CreateProcess
// reads it, no command interpreter does, so the line's `&`, `%…%`, `^` and `!`
// reach the program as they are. Waits for it and ends with its status.
//
//     ZORBEL_COMMAND_LINE='"C:\Tom & Jerry\Zorbel\Uninstall.exe" /S' command_line

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <vector>

int main()
{
    const wchar_t *line = _wgetenv(L"ZORBEL_COMMAND_LINE");
    if (!line || !*line) {
        std::fprintf(stderr, "command_line: ZORBEL_COMMAND_LINE is empty\n");
        return 125;
    }
    // CreateProcessW may write into the line it is given.
    std::vector<wchar_t> writable(line, line + std::wcslen(line) + 1);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, writable.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        std::fprintf(stderr, "command_line: CreateProcess failed, error %lu\n", GetLastError());
        return 126;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD status = 1;
    GetExitCodeProcess(process.hProcess, &status);
    return static_cast<int>(status);
}
