// Runs the Windows command lines in ZORBEL_COMMAND_LINE, one a line, in turn,
// as Windows runs an uninstall entry's: by CreateProcess, so that no command
// interpreter acts on a line's `&`, `%…%`, `^` or `!`. Waits up to 2 minutes
// for each; ends with the last one's status. One Wine start for many lines.
//
//     ZORBEL_COMMAND_LINE='"C:\Tom & Jerry\Zorbel\Uninstall.exe" /S' command_line

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <sstream>
#include <string>

int main()
{
    const wchar_t *lines = _wgetenv(L"ZORBEL_COMMAND_LINE");
    if (!lines || !*lines) {
        std::fprintf(stderr, "command_line: ZORBEL_COMMAND_LINE is empty\n");
        return 125;
    }
    std::wistringstream text(lines);
    DWORD status = 0;
    for (std::wstring line; std::getline(text, line);) {
        if (line.empty())
            continue;
        STARTUPINFOW startup { sizeof startup };
        PROCESS_INFORMATION process {};
        // CreateProcessW may write into the line it is given.
        if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
            std::fprintf(stderr, "command_line: CreateProcess failed, error %lu\n", GetLastError());
            return 126;
        }
        if (WaitForSingleObject(process.hProcess, 120000) != WAIT_OBJECT_0) {
            std::fprintf(stderr, "command_line: %ls did not end within 2 minutes\n", line.c_str());
            TerminateProcess(process.hProcess, 124);
            return 124;
        }
        if (!GetExitCodeProcess(process.hProcess, &status))
            status = 1;
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    return static_cast<int>(status);
}
