// Wine's side of a close beside a frozen sound server, with nothing of
// Zorbel's: a thread plays a cue through sndPlaySoundA every 40 ms, and the
// process returns from main after the given milliseconds. bench/cuelengths.sh
// freezes the server (SIGSTOP) before that and prints the exit statuses.
//
//   frozenexit.exe CUE.wav MILLISECONDS

#include <windows.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <thread>
#include <vector>

int main(int argc, char **argv)
{
    if (argc != 3)
        return 2;
    std::ifstream file(argv[1], std::ios::binary);
    const std::vector<char> cue { std::istreambuf_iterator<char>(file), {} };
    std::thread([&cue] {
        for (;;) {
            sndPlaySoundA(cue.data(), SND_ASYNC | SND_NODEFAULT | SND_MEMORY);
            Sleep(40);
        }
    }).detach();
    Sleep(DWORD(std::atoi(argv[2])));
    return 0;
}
