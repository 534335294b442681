// Runs the Windows command lines held in the environment variable
// ZORBEL_COMMAND_LINE, one a line, in turn, as Windows runs an uninstall
// entry's: CreateProcess reads each, no command interpreter does, so a line's
// `&`, `%…%`, `^` and `!` reach the program as they are. Waits for each and
// ends with the last one's status. One Wine start for many lines is quicker
// than one for each.
//
//     ZORBEL_COMMAND_LINE='"C:\Tom & Jerry\Zorbel\Uninstall.exe" /S' command_line

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

int main()
{
    const wchar_t *lines = _wgetenv(L"ZORBEL_COMMAND_LINE");
    if (!lines || !*lines) {
        std::fprintf(stderr, "command_line: ZORBEL_COMMAND_LINE is empty\n");
        return 125;
    }
    DWORD status = 0;
    for (const wchar_t *start = lines; *start;) {
        const wchar_t *end = std::wcschr(start, L'\n');
        if (!end)
            end = start + std::wcslen(start);
        // CreateProcessW may write into the line it is given.
        std::wstring line(start, end);
        start = *end ? end + 1 : end;
        if (line.empty())
            continue;
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
            std::fprintf(stderr, "command_line: CreateProcess failed, error %lu\n", GetLastError());
            return 126;
        }
        WaitForSingleObject(process.hProcess, INFINITE);
        status = 1;
        GetExitCodeProcess(process.hProcess, &status);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    return static_cast<int>(status);
}
