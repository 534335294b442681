// Starts a program under an X server and watches it from the X side, so the
// program itself needs no hooks:
//
//   startupprobe [--ball] [--title TEXT] [--rest-ms N] [--idle-ms N] [--stderr FILE] -- PROGRAM ARGS...
//
// mapped_ms   exec to the MapNotify of its first top-level window
// frame_ms    exec to the first frame drawn in it: with --ball the first one
//             whose pixels show the ball (Damage events, each answered with a
//             GetImage of the window), otherwise the first drawing at all
// With --title, the time the title became TEXT (the startup drop settled),
// the program's CPU time between the ball frame and then, and the area the
// program drew meanwhile. Then, after --rest-ms (default 1500), its context
// switches over all threads and CPU time in --idle-ms (default 5000), and
// its memory. Prints key=value lines; the program is ended with SIGTERM.
//
// Only the program under test should be running on that X server.

#include "procstats.h"

#include <xcb/damage.h>
#include <xcb/xcb.h>

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

[[noreturn]] void die(const char *what)
{
    std::fprintf(stderr, "startupprobe: %s\n", what);
    std::exit(2);
}

struct Options {
    bool ball = false;
    std::string title;
    int restMs = 1500;
    int idleMs = 5000;
    const char *stderrFile = nullptr;
    char **program = nullptr;
};

Options parse(int argc, char **argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--ball") {
            options.ball = true;
        } else if (arg == "--title" && i + 1 < argc) {
            options.title = argv[++i];
        } else if (arg == "--rest-ms" && i + 1 < argc) {
            options.restMs = std::atoi(argv[++i]);
        } else if (arg == "--idle-ms" && i + 1 < argc) {
            options.idleMs = std::atoi(argv[++i]);
        } else if (arg == "--stderr" && i + 1 < argc) {
            options.stderrFile = argv[++i];
        } else if (arg == "--" && i + 1 < argc) {
            options.program = argv + i + 1;
            return options;
        } else {
            die("usage: startupprobe [--ball] [--title TEXT] [--rest-ms N] [--idle-ms N] [--stderr FILE] -- PROGRAM...");
        }
    }
    die("no program given");
}

class Probe {
public:
    explicit Probe(const Options &options)
        : m_options(options)
    {
        m_x = xcb_connect(nullptr, nullptr);
        if (xcb_connection_has_error(m_x))
            die("cannot connect to the X server");
        m_root = xcb_setup_roots_iterator(xcb_get_setup(m_x)).data->root;
        const xcb_query_extension_reply_t *damage = xcb_get_extension_data(m_x, &xcb_damage_id);
        if (!damage || !damage->present)
            die("the X server has no DAMAGE extension");
        m_damageEvent = damage->first_event + XCB_DAMAGE_NOTIFY;
        free(xcb_damage_query_version_reply(m_x, xcb_damage_query_version(m_x, 1, 1), nullptr));
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(m_x, m_root, XCB_CW_EVENT_MASK, &mask);
        m_netWmName = atom("_NET_WM_NAME");
        m_utf8 = atom("UTF8_STRING");
        xcb_flush(m_x);
    }

    ~Probe() { xcb_disconnect(m_x); }

    int run()
    {
        m_start = Clock::now();
        m_pid = fork();
        if (m_pid == 0) {
            if (m_options.stderrFile) {
                const int fd = open(m_options.stderrFile, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
                if (fd >= 0)
                    dup2(fd, STDERR_FILENO);
            }
            execvp(m_options.program[0], m_options.program);
            _exit(127);
        }
        if (m_pid < 0)
            die("fork failed");

        const bool ok = watch();
        report(ok);
        end();
        return ok ? 0 : 1;
    }

private:
    xcb_atom_t atom(const char *name)
    {
        auto *reply = xcb_intern_atom_reply(m_x, xcb_intern_atom(m_x, 0, uint16_t(std::strlen(name)), name), nullptr);
        const xcb_atom_t result = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
        free(reply);
        return result;
    }

    bool done() const { return m_frameMs >= 0 && (m_options.title.empty() || m_settleMs >= 0); }

    // Runs X events until the frame (and the title, if asked) was seen.
    bool watch()
    {
        const auto deadline = Clock::now() + std::chrono::seconds(30);
        while (!done()) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0)
                return false;
            pollfd fd { xcb_get_file_descriptor(m_x), POLLIN, 0 };
            poll(&fd, 1, int(left));
            while (xcb_generic_event_t *event = xcb_poll_for_event(m_x)) {
                handle(event);
                free(event);
            }
            if (xcb_connection_has_error(m_x))
                die("lost the X server");
        }
        return true;
    }

    void handle(const xcb_generic_event_t *event)
    {
        const uint8_t type = event->response_type & 0x7f;
        if (type == XCB_CREATE_NOTIFY) {
            const auto *created = reinterpret_cast<const xcb_create_notify_event_t *>(event);
            if (created->parent == m_root && m_damage == XCB_NONE)
                follow(created->window);
        } else if (type == XCB_MAP_NOTIFY) {
            const auto *mapped = reinterpret_cast<const xcb_map_notify_event_t *>(event);
            if (mapped->event == m_root && m_mappedMs < 0) {
                m_mappedMs = msSince(m_start);
                m_window = mapped->window;
                if (m_damageWindow != m_window)
                    follow(m_window);
                // Drawn before the Damage object existed: look now.
                look();
            }
        } else if (type == m_damageEvent) {
            const auto *damage = reinterpret_cast<const xcb_damage_notify_event_t *>(event);
            if (damage->drawable != m_window || m_mappedMs < 0)
                return;
            if (m_frameMs < 0) {
                look();
            } else if (m_settleMs < 0) {
                m_drawnArea += (long long)(damage->area.width) * damage->area.height;
                ++m_drawnRectangles;
            }
        } else if (type == XCB_PROPERTY_NOTIFY) {
            const auto *property = reinterpret_cast<const xcb_property_notify_event_t *>(event);
            if (property->window == m_window && property->atom == m_netWmName && m_frameMs >= 0 && m_settleMs < 0
                && title() == m_options.title) {
                m_settleMs = msSince(m_start);
                m_settleTotals = threadTotals(m_pid);
            }
        }
    }

    void follow(xcb_window_t window)
    {
        if (m_damage != XCB_NONE)
            xcb_damage_destroy(m_x, m_damage);
        m_damage = xcb_generate_id(m_x);
        m_damageWindow = window;
        xcb_damage_create(m_x, m_damage, window, XCB_DAMAGE_REPORT_LEVEL_RAW_RECTANGLES);
        const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_change_window_attributes(m_x, window, XCB_CW_EVENT_MASK, &mask);
        xcb_flush(m_x);
    }

    void look()
    {
        if (m_frameMs >= 0 || m_window == XCB_NONE)
            return;
        if (!m_options.ball) {
            if (m_mappedMs >= 0 && m_sawDamage) {
                found();
                return;
            }
            m_sawDamage = true; // the first look is the one at map; the first Damage after it counts
            return;
        }
        if (showsBall())
            found();
    }

    void found()
    {
        m_frameMs = msSince(m_start);
        m_frameTotals = threadTotals(m_pid);
    }

    bool showsBall()
    {
        auto *geometry = xcb_get_geometry_reply(m_x, xcb_get_geometry(m_x, m_window), nullptr);
        if (!geometry)
            return false;
        const uint16_t width = geometry->width;
        const uint16_t height = geometry->height;
        free(geometry);
        auto *image = xcb_get_image_reply(
            m_x, xcb_get_image(m_x, XCB_IMAGE_FORMAT_Z_PIXMAP, m_window, 0, 0, width, height, ~0u), nullptr);
        if (!image)
            return false;
        const uint8_t *pixels = xcb_get_image_data(image);
        const int length = xcb_get_image_data_length(image);
        int ballPixels = 0;
        // 32 bits per pixel, blue first, at depth 24; the ball's colours as
        // tests/e2e/ball_on_screen.py tells them from the rest of the window.
        for (int at = 0; at + 3 < length; at += 4) {
            const int b = pixels[at], g = pixels[at + 1], r = pixels[at + 2];
            if (r >= 30 && 0.3 * r < g && g < 0.7 * r && b < 0.45 * r)
                ++ballPixels;
        }
        free(image);
        return ballPixels >= 1000;
    }

    std::string title()
    {
        auto *reply = xcb_get_property_reply(
            m_x, xcb_get_property(m_x, 0, m_window, m_netWmName, m_utf8, 0, 256), nullptr);
        std::string text;
        if (reply) {
            text.assign(static_cast<const char *>(xcb_get_property_value(reply)),
                        std::size_t(xcb_get_property_value_length(reply)));
            free(reply);
        }
        return text;
    }

    void report(bool ok)
    {
        std::printf("ok=%d\nmapped_ms=%.2f\nframe_ms=%.2f\nstart_ns=%lld\n", ok ? 1 : 0, m_mappedMs, m_frameMs,
                    (long long)std::chrono::duration_cast<std::chrono::nanoseconds>(m_start.time_since_epoch()).count());
        if (!ok)
            return;
        if (!m_options.title.empty()) {
            const double wallMs = m_settleMs - m_frameMs;
            const double cpuMs = double(m_settleTotals.cpuNs - m_frameTotals.cpuNs) / 1e6;
            std::printf("settle_ms=%.2f\ndrop_wall_ms=%.2f\ndrop_cpu_ms=%.3f\ndrop_cpu_percent=%.3f\n", m_settleMs,
                        wallMs, cpuMs, 100 * cpuMs / wallMs);
            std::printf("drop_drawn_px=%lld\ndrop_drawn_rectangles=%lld\n", m_drawnArea, m_drawnRectangles);
        }
        if (m_damage != XCB_NONE) {
            xcb_damage_destroy(m_x, m_damage);
            xcb_flush(m_x);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(m_options.restMs));
        const ThreadTotals before = threadTotals(m_pid);
        std::this_thread::sleep_for(std::chrono::milliseconds(m_options.idleMs));
        const ThreadTotals after = threadTotals(m_pid);
        std::printf("idle_ms=%d\nidle_switches=%lld\nidle_cpu_ms=%.3f\n", m_options.idleMs,
                    after.switches - before.switches, double(after.cpuNs - before.cpuNs) / 1e6);

        const MemoryTotals memory = memoryTotals(m_pid);
        std::printf("rss_kib=%lld\npeak_rss_kib=%lld\nprivate_kib=%lld\n", memory.rssKiB, memory.peakRssKiB,
                    memory.privateKiB);
        std::fflush(stdout);
    }

    void end()
    {
        kill(m_pid, SIGTERM);
        for (int i = 0; i < 500; ++i) {
            int status = 0;
            if (waitpid(m_pid, &status, WNOHANG) == m_pid)
                return;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
    }

    const Options &m_options;
    xcb_connection_t *m_x = nullptr;
    xcb_window_t m_root = XCB_NONE;
    xcb_window_t m_window = XCB_NONE;
    xcb_window_t m_damageWindow = XCB_NONE;
    xcb_damage_damage_t m_damage = XCB_NONE;
    xcb_atom_t m_netWmName = XCB_NONE;
    xcb_atom_t m_utf8 = XCB_NONE;
    uint8_t m_damageEvent = 0;
    Clock::time_point m_start;
    pid_t m_pid = -1;
    double m_mappedMs = -1;
    double m_frameMs = -1;
    double m_settleMs = -1;
    bool m_sawDamage = false;
    ThreadTotals m_frameTotals;
    ThreadTotals m_settleTotals;
    long long m_drawnArea = 0;
    long long m_drawnRectangles = 0;
};

} // namespace

int main(int argc, char **argv)
{
    const Options options = parse(argc, argv);
    Probe probe(options);
    return probe.run();
}
