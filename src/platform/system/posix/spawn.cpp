#include "platform/system/spawn.h"

#include <bit>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <elf.h>
#include <exception>
#include <fcntl.h>
#include <spawn.h>
#include <string_view>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace platform {

namespace {

// Waits for the started program in the background so that it never lingers
// as a zombie. Waiting for this one pid leaves every other child (Qt's own
// included) to whoever started it.
void ReapLater(pid_t pid) {
    try {
        std::thread([pid] {
            int status = 0;
            while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
        }).detach();
    } catch (const std::exception&) {
        // No thread to spare: the program still runs; it is reaped by init
        // once the launcher ends.
    }
}

// The interpreter a script names on its "#!" line, as the system reads it:
// after the "#!" and any blanks, up to the next blank or line end.
std::string ScriptInterpreter(std::string_view head) {
    const std::string_view line = head.substr(2);
    std::size_t start = 0;
    while (start < line.size() && (line[start] == ' ' || line[start] == '\t'))
        ++start;
    std::size_t end = start;
    while (end < line.size() && line[end] != ' ' && line[end] != '\t' && line[end] != '\n' &&
           line[end] != '\0')
        ++end;
    return std::string(line.substr(start, end - start));
}

// The program interpreter (the dynamic loader) an ELF executable of this
// machine's byte order names, such as a 32-bit loader that is not installed.
template <typename Ehdr, typename Phdr> std::string ElfInterpreter(int fd) {
    Ehdr header;
    if (::pread(fd, &header, sizeof header, 0) != static_cast<ssize_t>(sizeof header) ||
        header.e_phentsize != sizeof(Phdr))
        return {};
    for (unsigned i = 0; i < header.e_phnum; ++i) {
        Phdr entry;
        const off_t at = static_cast<off_t>(header.e_phoff + i * sizeof(Phdr));
        if (::pread(fd, &entry, sizeof entry, at) != static_cast<ssize_t>(sizeof entry))
            return {};
        if (entry.p_type != PT_INTERP)
            continue;
        if (entry.p_filesz < 2 || entry.p_filesz > PATH_MAX)
            return {};
        std::string name(static_cast<std::size_t>(entry.p_filesz), '\0');
        if (::pread(fd, name.data(), name.size(), static_cast<off_t>(entry.p_offset)) !=
            static_cast<ssize_t>(name.size()))
            return {};
        return name.substr(0, name.find('\0'));
    }
    return {};
}

// The interpreter the system must start to run a file: a script's "#!"
// interpreter or an executable's loader. Empty when it names none.
std::string Interpreter(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return {};
    char head[256];
    const ssize_t got = ::read(fd, head, sizeof head);
    std::string interpreter;
    if (got >= 2 && head[0] == '#' && head[1] == '!') {
        interpreter = ScriptInterpreter(std::string_view(head, static_cast<std::size_t>(got)));
    } else if (got >= EI_NIDENT && std::memcmp(head, ELFMAG, SELFMAG) == 0 &&
               head[EI_DATA] ==
                   (std::endian::native == std::endian::little ? ELFDATA2LSB : ELFDATA2MSB)) {
        if (head[EI_CLASS] == ELFCLASS64)
            interpreter = ElfInterpreter<Elf64_Ehdr, Elf64_Phdr>(fd);
        else if (head[EI_CLASS] == ELFCLASS32)
            interpreter = ElfInterpreter<Elf32_Ehdr, Elf32_Phdr>(fd);
    }
    ::close(fd);
    return interpreter;
}

// The exec's "No such file or directory" for a file that is there means its
// interpreter is not: that interpreter, or empty.
std::string MissingInterpreter(const std::string& path) {
    const std::string interpreter = Interpreter(path);
    struct stat st {};
    if (!interpreter.empty() && ::stat(interpreter.c_str(), &st) != 0 &&
        (errno == ENOENT || errno == ENOTDIR))
        return interpreter;
    return {};
}

// Starts path with args, with the session, descriptors and signals as Spawn
// promises. Returns 0 or the errno of the failure, the exec's included.
int SpawnDetached(const std::string& path, const std::vector<std::string>& args, pid_t& pid) {
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);

    posix_spawnattr_t attr;
    posix_spawn_file_actions_t actions;
    if (int err = posix_spawnattr_init(&attr); err != 0)
        return err;
    if (int err = posix_spawn_file_actions_init(&actions); err != 0) {
        posix_spawnattr_destroy(&attr);
        return err;
    }

    sigset_t none;
    sigemptyset(&none);
    // Signals the launcher ignores would stay ignored in the program; put the
    // standard ones back to their defaults (SIGKILL and SIGSTOP cannot change).
    sigset_t standard;
    sigemptyset(&standard);
    for (int sig = 1; sig < 32; ++sig) {
        if (sig != SIGKILL && sig != SIGSTOP)
            sigaddset(&standard, sig);
    }
    int err = posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK |
                                                  POSIX_SPAWN_SETSIGDEF);
    if (err == 0)
        err = posix_spawnattr_setsigmask(&attr, &none);
    if (err == 0)
        err = posix_spawnattr_setsigdefault(&attr, &standard);
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
    if (err == 0)
        err = posix_spawn_file_actions_addclosefrom_np(&actions, 3);
#endif
    // glibc's posix_spawn reports a failed exec through its return value.
    if (err == 0)
        err = posix_spawn(&pid, path.c_str(), &actions, &attr, argv.data(), environ);

    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    return err;
}

} // namespace

SpawnResult Spawn(const std::string& path, const std::vector<std::string>& args) {
    SpawnResult result;
    pid_t pid = -1;
    result.error = SpawnDetached(path, args, pid);
    if (result.error == ENOENT) {
        result.missingInterpreter = MissingInterpreter(path);
    } else if (result.error == 0) {
        ReapLater(pid);
        result.processId = pid;
    }
    return result;
}

} // namespace platform
