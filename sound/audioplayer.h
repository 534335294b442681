#pragma once

#include <QByteArray>

#include <memory>

QT_BEGIN_NAMESPACE
class QThread;
QT_END_NAMESPACE

namespace zorbel::sound {

// Plays complete WAV file images from memory through the sound server, on a
// thread of its own: a slow or frozen server (Qt then blocks for about 30 s)
// never holds up the caller. At most one cue sounds at a time, each new one
// cuts off the one still playing, and a cue that cannot be played stays
// silent. Nothing is reported back to the caller.
class AudioPlayer {
public:
    AudioPlayer();
    // Waits briefly for the player's thread; one stuck in a frozen server is
    // left behind rather than hanging the program's exit.
    ~AudioPlayer();

    AudioPlayer(const AudioPlayer &) = delete;
    AudioPlayer &operator=(const AudioPlayer &) = delete;

    // Returns at once, from any thread. The image is shared, not copied, and
    // the player holds on to it until a later cue has taken its place. While
    // the player is busy only the newest image waits; older ones are dropped.
    void play(QByteArray image);

private:
    struct Mailbox;
    class Worker;

    std::shared_ptr<Mailbox> m_mailbox;
    QThread *m_thread = nullptr;
    Worker *m_worker = nullptr;
};

} // namespace zorbel::sound
