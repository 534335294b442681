#include "platform.h"

#include "runtimeerror.h"

#include <windows.h>

namespace zorbel::sound {

using SndPlaySoundA = UINT(WINAPI *)(LPCSTR sound, UINT flags);

// The player is looked up at the first sound, not at start-up: without the
// multimedia library the program still starts, and its first cue ends it.
struct SoundPlayer::Impl {
    HMODULE library = nullptr;
    SndPlaySoundA play = nullptr;

    void bind()
    {
        library = LoadLibraryA("winmm.dll");
        if (!library)
            throw RuntimeError("winmm.dll cannot be loaded: no sound player");
        play = reinterpret_cast<SndPlaySoundA>(reinterpret_cast<void (*)()>(GetProcAddress(library, "sndPlaySoundA")));
        if (!play)
            throw RuntimeError("winmm.dll has no sndPlaySoundA");
    }
};

SoundPlayer::SoundPlayer()
    : m_impl(std::make_unique<Impl>())
{
}

SoundPlayer::~SoundPlayer()
{
    // Stops the cue still playing, whose bytes are about to be released.
    if (m_impl->play)
        m_impl->play(nullptr, 0);
    if (m_impl->library)
        FreeLibrary(m_impl->library);
}

std::uint32_t SoundPlayer::sndPlaySoundA(const char *image, std::uint32_t flags)
{
    if (!m_impl->play)
        m_impl->bind();
    return m_impl->play(image, flags);
}

} // namespace zorbel::sound
