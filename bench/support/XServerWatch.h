// A private X server for the start-up benchmark and a watch on everything
// drawn on its screen: the first drawing of a new window as the server sees
// it (the DAMAGE extension on the root window, which also reports drawing
// into every window on it), not as the program believes it drew.
#pragma once

#include <ctime>
#include <string>
#include <sys/types.h>

// CLOCK_MONOTONIC in nanoseconds: the clock of every time the benchmark takes.
inline long long MonotonicNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

struct xcb_connection_t;

class XServerWatch {
public:
    XServerWatch() = default;
    ~XServerWatch();
    XServerWatch(const XServerWatch&) = delete;
    XServerWatch& operator=(const XServerWatch&) = delete;

    // Starts Xvfb on a display it picks itself, connects and starts the
    // watch. On failure says why in *error.
    bool start(std::string* error);
    // ":N", for the DISPLAY of the programs to watch.
    const std::string& display() const { return display_; }

    // Waits until no client window is left on the screen and the server has
    // drawn what their going uncovered, then forgets all drawing so far.
    // With viewableOnly, hidden windows may stay (Wine keeps some of its own).
    bool settle(int timeoutMs, bool viewableOnly = false);

    struct Drawing {
        long long firstNs = 0;    // the first drawing after settle()
        long long completeNs = 0; // when drawing had covered a width x height area
    };
    // The connection's descriptor, to poll beside others: readable when the
    // server has news.
    int fd() const;
    // Reads what the server reported so far, noting when drawing began and
    // when it had covered an area of at least width x height (times are
    // CLOCK_MONOTONIC, taken as the news is read). True once it had.
    bool readEvents(int width, int height, Drawing* seen);
    bool broken() const;

private:
    int countWindows(bool viewableOnly);

    pid_t server_ = -1;
    std::string display_;
    xcb_connection_t* connection_ = nullptr;
    unsigned root_ = 0;
    unsigned damage_ = 0;
    int damageEvent_ = -1; // the DamageNotify event code
};
