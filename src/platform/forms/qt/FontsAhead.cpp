#include "platform/forms/qt/FontsAhead.h"

#include <atomic>
#include <dlfcn.h>
#include <system_error>
#include <thread>

namespace platform::forms::qt {

namespace {

// Waits for the helper at exit, so that it never runs on while the program's
// libraries are torn down.
struct FontsHelper {
    std::thread thread;
    ~FontsHelper() {
        if (thread.joinable()) {
            thread.join();
        }
    }
};

} // namespace

bool PrepareFontsAhead() {
    static std::atomic<bool> started{false};
    if (started.exchange(true)) {
        return false;
    }
    // Qt's font database on Linux is built on fontconfig, whose first use
    // parses every configuration file and maps the font caches: several
    // milliseconds that the first label or caption would otherwise wait for.
    // The library is only borrowed if Qt already brought it in; fontconfig
    // makes its first set-up safe to race with Qt's own.
    void* library = ::dlopen("libfontconfig.so.1", RTLD_NOW | RTLD_NOLOAD);
    if (!library) {
        return false;
    }
    using InitFunction = int (*)();
    auto* init = reinterpret_cast<InitFunction>(::dlsym(library, "FcInit"));
    if (!init) {
        ::dlclose(library);
        return false;
    }
    static FontsHelper helper;
    try {
        helper.thread = std::thread([library, init] {
            init();
            ::dlclose(library);
        });
    } catch (const std::system_error&) {
        // No thread to be had: Qt sets fontconfig up when it first needs it.
        ::dlclose(library);
        return false;
    }
    return true;
}

} // namespace platform::forms::qt
