// Removes what Zorbel's uninstaller cannot while it runs: its own file, and
// the folders it was in. The uninstaller starts this program from a file
// that it opened for deletion on close and this process inherited, so
// Windows removes this program too once it ends. Nothing here reads a path
// as a command: the file to remove comes as the environment's
// ZORBEL_REMOVE, the arguments are numbers.
//
//     remover HANDLE COUNT
//
// Waits (up to 30 s) for the process whose inherited handle is HANDLE to
// end, deletes ZORBEL_REMOVE, then removes its folder and the folders above
// it, COUNT folders in all, while each is empty; never a drive's root.

#include <windows.h>

#include <cstdlib>
#include <string>

int main(int argc, char **argv)
{
    if (argc != 3)
        return 1;
    const auto parent = reinterpret_cast<HANDLE>(std::strtoull(argv[1], nullptr, 10));
    const unsigned long count = std::strtoul(argv[2], nullptr, 10);
    const DWORD ended = WaitForSingleObject(parent, 30000);
    CloseHandle(parent);
    // An uninstaller still running keeps its file and its folder.
    if (ended != WAIT_OBJECT_0)
        return 1;
    std::wstring path(32768, L'\0');
    const DWORD length = GetEnvironmentVariableW(L"ZORBEL_REMOVE", path.data(), static_cast<DWORD>(path.size()));
    if (length == 0 || length >= path.size())
        return 1;
    path.resize(length);
    DeleteFileW(path.c_str());
    for (unsigned long folders = 0; folders < count; ++folders) {
        const auto slash = path.find_last_of(L'\\');
        // A drive's root ("D:", which would be D:'s current folder) stays.
        if (slash == std::wstring::npos || path.find(L'\\') == slash)
            break;
        path.resize(slash);
        if (!RemoveDirectoryW(path.c_str()))
            break;
    }
    return 0;
}
