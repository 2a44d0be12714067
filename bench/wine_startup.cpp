// First paint of the Windows build under Wine: from starting tavro.exe to
// the X server having seen its whole main window drawn, against the floor, a
// plain Win32 program that makes a window of the same size with the same
// controls (bench/windows/plain_window.cpp). Both run on a private Xvfb in a
// Wine prefix of their own, made once and kept warm (its server stays up),
// from an emulator directory with a few drivers; the runs alternate, so that
// load from elsewhere on the machine falls on both alike.
//
// Usage: bench_wine_startup [--runs N] [--windows-build DIR]
//   DIR holds tavro.exe and plain_window.exe (default: $TAVRO_WINDOWS_BUILD_DIR,
//   else build-windows in the source tree; scripts/windows builds them).
#include "support/XServerWatch.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

const char* const Wine = "/usr/lib/wine/wine64";
const char* const WineServer = "/usr/lib/wine/wineserver";
const char* const Marlett = "/usr/share/wine/fonts/marlett.ttf";

// The main window at 96 dots per inch: a client area of 765 x 442 in a fixed
// single frame with its caption.
constexpr int WindowWidth = 771;
constexpr int WindowHeight = 467;
constexpr int RunTimeoutMs = 30000;

std::vector<std::string> Environment(const std::string& display, const fs::path& prefix) {
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        bool dropped = false;
        for (const char* name :
             {"DISPLAY=", "WAYLAND_DISPLAY=", "QT_QPA_PLATFORM=", "WINEPREFIX=", "WINEDEBUG="}) {
            dropped = dropped || entry.rfind(name, 0) == 0;
        }
        if (!dropped) {
            env.push_back(entry);
        }
    }
    env.push_back("DISPLAY=" + display);
    env.push_back("WINEPREFIX=" + prefix.string());
    env.push_back("WINEDEBUG=-all");
    env.push_back("WINEDLLOVERRIDES=mscoree,mshtml=");
    return env;
}

// Starts a program in `dir` with its output thrown away; its pid, or -1.
pid_t Spawn(const std::vector<std::string>& args, const std::vector<std::string>& env,
            const fs::path& dir) {
    std::vector<std::string> argStore = args, envStore = env;
    std::vector<char*> argv, envp;
    for (std::string& a : argStore) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    for (std::string& e : envStore) {
        envp.push_back(e.data());
    }
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : -1;
}

int Wait(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool Run(const std::vector<std::string>& args, const std::vector<std::string>& env,
         const fs::path& dir) {
    const pid_t pid = Spawn(args, env, dir);
    return pid > 0 && Wait(pid) == 0;
}

// A fresh prefix as the tests of tavro.exe make it: no X decorations, so the
// program's own caption shows, and Marlett where this Wine finds fonts.
bool MakePrefix(const std::vector<std::string>& env, const fs::path& prefix) {
    std::error_code ignored;
    if (!Run({Wine, "wineboot", "--init"}, env, prefix.parent_path()) ||
        !Run({Wine, "reg", "add", "HKCU\\Software\\Wine\\X11 Driver", "/v", "Decorated", "/d", "N",
              "/f"},
             env, prefix.parent_path())) {
        return false;
    }
    fs::create_directories(prefix / "drive_c/windows/Fonts", ignored);
    fs::copy_file(Marlett, prefix / "drive_c/windows/Fonts/marlett.ttf", ignored);
    // Kept warm: the server stays up between the runs (-p), ended at the end (-k).
    Run({WineServer, "-w"}, env, prefix.parent_path());
    return Run({WineServer, "-p"}, env, prefix.parent_path());
}

// One start: milliseconds until the first drawing and until the whole window
// was seen drawn; false when it was not.
bool TimeFirstPaint(XServerWatch& watch, const fs::path& exe, const std::vector<std::string>& env,
                    const fs::path& dir, double* firstMs, double* wholeMs) {
    if (!watch.settle(RunTimeoutMs, true)) {
        std::fprintf(stderr, "the screen did not clear\n");
        return false;
    }
    const long long start = MonotonicNs();
    const pid_t pid = Spawn({Wine, exe.string()}, env, dir);
    if (pid < 0) {
        return false;
    }
    XServerWatch::Drawing seen;
    bool drawn = false;
    while (!drawn && !watch.broken() && MonotonicNs() - start < RunTimeoutMs * 1000000LL) {
        pollfd p{watch.fd(), POLLIN, 0};
        ::poll(&p, 1, 100);
        drawn = watch.readEvents(WindowWidth, WindowHeight, &seen);
    }
    ::kill(pid, SIGTERM); // our own child, by its id
    Wait(pid);
    *firstMs = static_cast<double>(seen.firstNs - start) / 1e6;
    *wholeMs = static_cast<double>(seen.completeNs - start) / 1e6;
    return drawn;
}

struct Figures {
    double median, p25, p75;
};

Figures Summarise(std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    const auto at = [&ms](double q) { return ms[static_cast<size_t>(q * (ms.size() - 1) + 0.5)]; };
    return {at(0.5), at(0.25), at(0.75)};
}

} // namespace

int main(int argc, char* argv[]) {
    int runs = 15;
    const char* fromEnv = std::getenv("TAVRO_WINDOWS_BUILD_DIR");
    fs::path build = fromEnv ? fs::path(fromEnv) : fs::path(TAVRO_SOURCE_DIR) / "build-windows";
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--runs") == 0) {
            runs = std::max(1, std::atoi(argv[i + 1]));
        } else if (std::strcmp(argv[i], "--windows-build") == 0) {
            build = argv[i + 1];
        }
    }
    const fs::path programs[] = {build / "tavro.exe", build / "plain_window.exe"};
    const char* names[] = {"tavro.exe", "plain window"};
    for (const fs::path& p : programs) {
        if (!fs::exists(p)) {
            std::fprintf(stderr, "%s is missing: build it with scripts/windows\n", p.c_str());
            return 1;
        }
    }

    XServerWatch watch;
    std::string error;
    if (!watch.start(&error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    char pattern[] = "/tmp/tavro-wine-bench-XXXXXX";
    if (!::mkdtemp(pattern)) {
        std::perror("mkdtemp");
        return 1;
    }
    const fs::path root = pattern;
    const fs::path prefix = root / "prefix";
    const fs::path dir = root / "emulator";
    fs::create_directories(dir / "drv");
    fs::create_directories(dir / "preview");
    for (const char* name : {"Alpha Attack.drv", "beta.drv", "Gamma.DRV"}) {
        std::ofstream(dir / "drv" / name) << "[driver]\r\nname=" << name << "\r\n";
    }
    for (const fs::path& p : programs) {
        fs::copy_file(p, dir / p.filename());
    }
    const std::vector<std::string> env = Environment(watch.display(), prefix);

    int status = 0;
    if (!MakePrefix(env, prefix)) {
        std::fprintf(stderr, "cannot make the Wine prefix in %s\n", prefix.c_str());
        status = 1;
    } else {
        std::vector<double> times[2], firsts[2];
        // One start of each first, not counted: Wine's own files come into
        // the page cache.
        for (int round = -1; round < runs && status == 0; ++round) {
            for (int k = 0; k < 2; ++k) {
                const int which = (round + k) % 2 == 0 ? 0 : 1; // alternating which goes first
                double first = 0, whole = 0;
                if (!TimeFirstPaint(watch, dir / programs[which].filename(), env, dir, &first,
                                    &whole)) {
                    std::fprintf(stderr, "%s: no whole window of %dx%d seen drawn\n", names[which],
                                 WindowWidth, WindowHeight);
                    status = 1;
                    break;
                }
                if (round >= 0) {
                    times[which].push_back(whole);
                    firsts[which].push_back(first);
                }
            }
        }
        if (status == 0) {
            std::printf("First paint under Wine (window %dx%d, %d runs each, alternating), "
                        "ms from start to the whole window seen drawn (and to its first "
                        "drawing):\n\n",
                        WindowWidth, WindowHeight, runs);
            const Figures f[2] = {Summarise(times[0]), Summarise(times[1])};
            for (int i = 0; i < 2; ++i) {
                std::printf(
                    "  %-13s median %7.1f  (25th-75th %7.1f - %7.1f)  first drawing %7.1f\n",
                    names[i], f[i].median, f[i].p25, f[i].p75, Summarise(firsts[i]).median);
            }
            const double ratio = f[0].median / f[1].median;
            std::printf(
                "\n  tavro.exe / plain window: %.2f -> no slower than the plain window: %s\n",
                ratio, ratio <= 1.0 ? "met" : "MISSED");
        }
    }
    Run({WineServer, "-k"}, env, root);
    std::error_code ignored;
    fs::remove_all(root, ignored);
    return status;
}
