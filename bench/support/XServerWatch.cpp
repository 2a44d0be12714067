#include "XServerWatch.h"

#include <xcb/damage.h>
#include <xcb/xcb.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

// The descriptor on which Xvfb writes the number of the display it chose.
constexpr int DisplayFd = 9;

} // namespace

XServerWatch::~XServerWatch() {
    if (connection_) {
        xcb_disconnect(connection_);
    }
    if (server_ > 0) {
        ::kill(server_, SIGTERM); // our own child, by its id
        int status = 0;
        while (::waitpid(server_, &status, 0) < 0 && errno == EINTR) {
        }
    }
}

bool XServerWatch::start(std::string* error) {
    int fds[2];
    if (::pipe(fds) != 0) {
        *error = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    ::fcntl(fds[0], F_SETFD, FD_CLOEXEC);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], DisplayFd);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    // A screen big enough that the pointer, parked in its far corner, is
    // never over a window: a software pointer drawn anew would count as
    // drawing.
    std::vector<std::string> args = {"Xvfb",      "-displayfd", std::to_string(DisplayFd),
                                     "-screen",   "0",          "1920x1200x24",
                                     "-nolisten", "tcp",        "-noreset"};
    std::vector<char*> argv;
    for (std::string& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    const int rc = posix_spawnp(&server_, "Xvfb", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (rc != 0) {
        ::close(fds[0]);
        server_ = -1;
        *error = std::string("cannot start Xvfb: ") + std::strerror(rc);
        return false;
    }
    std::string number;
    for (;;) {
        pollfd p{fds[0], POLLIN, 0};
        if (::poll(&p, 1, 20000) <= 0) {
            break;
        }
        char c = 0;
        if (::read(fds[0], &c, 1) != 1 || c == '\n') {
            break;
        }
        number += c;
    }
    ::close(fds[0]);
    if (number.empty()) {
        *error = "Xvfb did not name its display";
        return false;
    }
    display_ = ":" + number;

    connection_ = xcb_connect(display_.c_str(), nullptr);
    if (xcb_connection_has_error(connection_)) {
        *error = "cannot connect to Xvfb on " + display_;
        return false;
    }
    const xcb_query_extension_reply_t* extension =
        xcb_get_extension_data(connection_, &xcb_damage_id);
    if (!extension || !extension->present) {
        *error = "the X server has no DAMAGE extension";
        return false;
    }
    damageEvent_ = extension->first_event + XCB_DAMAGE_NOTIFY;
    free(xcb_damage_query_version_reply(
        connection_, xcb_damage_query_version(connection_, XCB_DAMAGE_MAJOR_VERSION, 1), nullptr));
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
    root_ = screen->root;
    xcb_warp_pointer(connection_, XCB_NONE, root_, 0, 0, 0, 0,
                     static_cast<int16_t>(screen->width_in_pixels - 1),
                     static_cast<int16_t>(screen->height_in_pixels - 1));
    // The root window's damage includes drawing into the windows on it. The
    // bounding box of all drawing since the last subtract comes with each
    // event that grows it.
    damage_ = xcb_generate_id(connection_);
    xcb_damage_create(connection_, damage_, root_, XCB_DAMAGE_REPORT_LEVEL_BOUNDING_BOX);
    // Windows appearing and going away on the root.
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection_, root_, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(connection_);
    return settle(5000);
}

// How many windows are on the root (only those shown, with viewableOnly);
// -1 when the server did not answer.
int XServerWatch::countWindows(bool viewableOnly) {
    xcb_query_tree_reply_t* tree =
        xcb_query_tree_reply(connection_, xcb_query_tree(connection_, root_), nullptr);
    int windows = tree ? xcb_query_tree_children_length(tree) : -1;
    if (tree && viewableOnly) {
        const xcb_window_t* children = xcb_query_tree_children(tree);
        std::vector<xcb_get_window_attributes_cookie_t> asked;
        for (int i = 0; i < windows; ++i) {
            asked.push_back(xcb_get_window_attributes(connection_, children[i]));
        }
        windows = 0;
        for (const auto& cookie : asked) {
            xcb_get_window_attributes_reply_t* a =
                xcb_get_window_attributes_reply(connection_, cookie, nullptr);
            windows += a && a->map_state == XCB_MAP_STATE_VIEWABLE;
            free(a);
        }
    }
    free(tree);
    return windows;
}

bool XServerWatch::settle(int timeoutMs, bool viewableOnly) {
    const long long deadline = MonotonicNs() + static_cast<long long>(timeoutMs) * 1000000LL;
    for (;;) {
        const int windows = countWindows(viewableOnly);
        if (windows == 0) {
            break;
        }
        if (windows < 0 || MonotonicNs() > deadline) {
            return false;
        }
        ::usleep(2000);
    }
    // The round trip makes sure the server has drawn what the windows left
    // uncovered before the subtract forgets it.
    free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
    xcb_damage_subtract(connection_, damage_, XCB_NONE, XCB_NONE);
    free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
    while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
        free(event);
    }
    return !xcb_connection_has_error(connection_);
}

bool XServerWatch::readEvents(int width, int height, Drawing* seen) {
    bool complete = seen->completeNs != 0;
    while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
        if ((event->response_type & 0x7f) == damageEvent_) {
            const auto* notify = reinterpret_cast<const xcb_damage_notify_event_t*>(event);
            const long long now = MonotonicNs();
            if (seen->firstNs == 0) {
                seen->firstNs = now;
            }
            if (!complete && notify->area.width >= width && notify->area.height >= height) {
                seen->completeNs = now;
                complete = true;
            }
        }
        free(event);
    }
    return complete;
}

int XServerWatch::fd() const {
    return xcb_get_file_descriptor(connection_);
}

bool XServerWatch::broken() const {
    return connection_ == nullptr || xcb_connection_has_error(connection_) != 0;
}
