#include "winmmsound.h"

#include "runtimeerror.h"
#include "soundthread.h"
#include "wavimage.h"

#include <windows.h>

#include <cstring>
#include <limits>
#include <optional>
#include <vector>

// Plays the cues through the system's own sndPlaySoundA, called on a thread
// of its own: the system's player can wait without limit on its audio driver
// (Wine's, when the sound server is killed or frozen mid-cue), and the window
// must go on answering meanwhile.

namespace zorbel::sound {
namespace {

using SndPlaySoundA = UINT(WINAPI *)(LPCSTR sound, UINT flags);

// A cue as the sound thread hands it to the system, with a copy of the
// caller's bytes: the system reads them until the next cue has replaced this one.
struct Cue {
    std::vector<char> bytes; // none: only stops the cue still sounding
    UINT flags = 0;

    LPCSTR sound() const { return bytes.empty() ? nullptr : bytes.data(); }
};

Cue cueOf(const char *image, std::uint32_t flags)
{
    if (!image)
        return { {}, flags };
    if (!(flags & SND_MEMORY))
        return { { image, image + std::strlen(image) + 1 }, flags }; // a sound's name
    const std::uint64_t size = WavImage::claimedSize(reinterpret_cast<const std::uint8_t *>(image));
    if (size > std::numeric_limits<std::size_t>::max())
        return { {}, flags };
    return { { image, image + static_cast<std::size_t>(size) }, flags };
}

template <typename Function>
Function lookUp(HMODULE library, const char *name)
{
    return library ? reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(library, name))) : nullptr;
}

void serve(Mailbox<Cue> &mailbox)
{
    // Looked up here too: the caller's look-up at the first cue is the one
    // that reports a missing library.
    const HMODULE library = LoadLibraryA("winmm.dll");
    const auto play = lookUp<SndPlaySoundA>(library, "sndPlaySoundA");
    const auto countDevices = lookUp<UINT(WINAPI *)()>(library, "waveOutGetNumDevs");
    if (!play || !countDevices)
        return;
    // Loads the audio driver before the first cue, which would otherwise
    // wait for it: Wine's takes half a second to reach the sound server.
    countDevices();

    // Freed only once the system has switched to the next cue.
    Cue playing;
    while (std::optional<Cue> cue = mailbox.wait()) {
        play(cue->sound(), cue->flags);
        playing = std::move(*cue);
    }
    // Stops the cue still sounding before its bytes go.
    play(nullptr, 0);
}

} // namespace

// The system's player is looked up at the first sound, not at start-up:
// without the multimedia library the program still starts, and its first
// cue ends it. The library stays loaded to the end: a sound thread stuck
// inside it may outlive the player.
struct WinmmSound::Impl {
    SoundThread<Cue> thread { serve };
    bool bound = false;

    void bind()
    {
        const HMODULE library = LoadLibraryA("winmm.dll");
        if (!library)
            throw RuntimeError("winmm.dll cannot be loaded: no sound player");
        if (!lookUp<SndPlaySoundA>(library, "sndPlaySoundA"))
            throw RuntimeError("winmm.dll has no sndPlaySoundA");
        bound = true;
    }
};

WinmmSound::WinmmSound()
    : m_impl(std::make_unique<Impl>())
{
}

// The sound thread stops the cue still playing as it ends.
WinmmSound::~WinmmSound() = default;

std::uint32_t WinmmSound::sndPlaySoundA(const char *image, std::uint32_t flags)
{
    if (!m_impl->bound)
        m_impl->bind();
    Cue cue = cueOf(image, flags);
    const bool taken = !cue.bytes.empty();
    m_impl->thread.post(std::move(cue));
    return taken ? 1 : 0;
}

} // namespace zorbel::sound
