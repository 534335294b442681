#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

// A player's thread for everything that may wait on the sound system, which
// can stall without limit (a server killed or frozen mid-cue). The caller only
// leaves the newest cue in a one-slot mailbox, where a newer cue replaces one
// not yet taken, and never waits on the thread but for the bounded wait of
// its close.
namespace zorbel::sound {

template <typename Cue>
class SoundThread;

// What the caller and the sound thread share. The thread holds a share of
// its own, so a thread left behind at close touches nothing freed.
template <typename Cue>
class Mailbox {
public:
    // Whether the player is closing: the sound thread then stops its cue and returns.
    bool closing()
    {
        std::lock_guard lock(m_mutex);
        return m_closing;
    }

    // The newest cue left since the last call, if any.
    std::optional<Cue> take()
    {
        std::lock_guard lock(m_mutex);
        return std::exchange(m_newest, std::nullopt);
    }

    // Sleeps until a cue is left, and takes it; nothing once the player closes.
    std::optional<Cue> wait()
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return m_closing || m_newest; });
        return m_closing ? std::nullopt : std::exchange(m_newest, std::nullopt);
    }

    // For a thread that sleeps in an event loop of its own: run, with the
    // mailbox locked, whenever a cue is left or the player closes. Cleared
    // (nullptr) before that loop goes away.
    void setWaker(std::function<void()> waker)
    {
        std::lock_guard lock(m_mutex);
        m_waker = std::move(waker);
    }

private:
    friend class SoundThread<Cue>;

    void post(Cue cue)
    {
        std::lock_guard lock(m_mutex);
        m_newest = std::move(cue);
        wake();
    }

    // True when the thread has returned within `limit`.
    bool close(std::chrono::milliseconds limit)
    {
        std::unique_lock lock(m_mutex);
        m_closing = true;
        wake();
        return m_changed.wait_for(lock, limit, [&] { return m_finished; });
    }

    void finish()
    {
        std::lock_guard lock(m_mutex);
        m_finished = true;
        m_changed.notify_all();
    }

    void wake()
    {
        m_changed.notify_all();
        if (m_waker)
            m_waker();
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::function<void()> m_waker;
    std::optional<Cue> m_newest;
    bool m_closing = false;
    bool m_finished = false;
};

template <typename Cue>
class SoundThread {
public:
    // The longest the player's close waits for the thread.
    static constexpr std::chrono::milliseconds shutdownWait { 500 };

    // Runs serve(Mailbox<Cue> &) on a new thread until the player closes.
    template <typename Serve>
    explicit SoundThread(Serve serve)
        : m_thread([mailbox = m_mailbox, serve = std::move(serve)]() mutable {
            serve(*mailbox);
            mailbox->finish();
        })
    {
    }

    ~SoundThread()
    {
        if (close()) {
            m_thread.join();
            return;
        }
        // NOTE: Left to the process's end rather than hanging its exit: the
        // thread is stuck in the sound system, holding its own share of the
        // mailbox and its own copy of the cue it plays.
        m_thread.detach();
    }

    // Asks the thread to end and waits for it at most shutdownWait: false
    // when it is still stuck in the sound system.
    bool close() { return m_mailbox->close(shutdownWait); }

    SoundThread(const SoundThread &) = delete;
    SoundThread &operator=(const SoundThread &) = delete;

    // Leaves the cue for the thread, replacing one it has not taken yet.
    void post(Cue cue) { m_mailbox->post(std::move(cue)); }

private:
    // Made before the thread, which gets its share at start.
    std::shared_ptr<Mailbox<Cue>> m_mailbox = std::make_shared<Mailbox<Cue>>();
    std::thread m_thread;
};

} // namespace zorbel::sound
