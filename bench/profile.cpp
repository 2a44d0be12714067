// Speed of the profile-file functions: reads and writes on files of 1 KB and
// 1000 KB (just under the 1 MiB bound), a read of a 100 MB file (refused at
// once for its size), a read of a typical tavro.cfg, and the seven writes of
// one game start, each flushed to disk.
// Files live under /tmp, on a real disk, so fsync costs what it costs.
#include "platform/system/profile.h"

#include <benchmark/benchmark.h>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>

namespace {

namespace fs = std::filesystem;

class ScratchDir {
public:
    ScratchDir() {
        std::string pattern = (fs::temp_directory_path() / "tavro_bench.XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            std::abort();
        path_ = pattern;
    }
    ~ScratchDir() { fs::remove_all(path_); }
    std::string File(const std::string& name) const { return (path_ / name).string(); }

private:
    fs::path path_;
};

const std::string Typical = "[Resolution]\r\nres=640x400\r\n[Frameskip]\r\nnumber=2\r\n"
                            "[General]\r\nsync=1\r\ndebug=0\r\nnocheck=0\r\nsound=1\r\n"
                            "profile=0\r\n";

// A settings file of about `bytes` bytes: filler sections first, the section
// that is read or written last, so the whole file is scanned.
void MakeFile(const std::string& path, std::size_t bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    std::size_t written = 0;
    for (int section = 0; written < bytes; ++section) {
        const std::string header = "[Filler" + std::to_string(section) + "]\n";
        out << header;
        written += header.size();
        for (int key = 0; key < 20 && written < bytes; ++key) {
            const std::string line = "key" + std::to_string(key) + "=some ordinary value\n";
            out << line;
            written += line.size();
        }
    }
    out << "[General]\nsound=1\n";
}

void Read(benchmark::State& state, const std::string& path, const char* section, const char* key) {
    char buffer[80];
    for (auto _ : state) {
        const platform::DWORD n =
            platform::GetPrivateProfileStringA(section, key, "", buffer, 80, path.c_str());
        benchmark::DoNotOptimize(n);
        if (n == 0)
            state.SkipWithError("value not found");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(fs::file_size(path)));
}

void BM_ReadTypicalConfig(benchmark::State& state) {
    ScratchDir dir;
    const std::string path = dir.File("tavro.cfg");
    std::ofstream(path, std::ios::binary) << Typical;
    Read(state, path, "General", "profile");
}
BENCHMARK(BM_ReadTypicalConfig)->Unit(benchmark::kMicrosecond);

void BM_Read(benchmark::State& state) {
    ScratchDir dir;
    const std::string path = dir.File("tavro.cfg");
    MakeFile(path, static_cast<std::size_t>(state.range(0)));
    Read(state, path, "General", "sound");
}
BENCHMARK(BM_Read)->Arg(1 << 10)->Arg(1000 << 10)->Unit(benchmark::kMicrosecond);

// A file over the size bound gives the default without being read.
void BM_ReadOversized(benchmark::State& state) {
    ScratchDir dir;
    const std::string path = dir.File("tavro.cfg");
    MakeFile(path, static_cast<std::size_t>(state.range(0)));
    char buffer[80];
    for (auto _ : state) {
        const platform::DWORD n =
            platform::GetPrivateProfileStringA("General", "sound", "", buffer, 80, path.c_str());
        benchmark::DoNotOptimize(n);
        if (n != 0)
            state.SkipWithError("an oversized file was read");
    }
}
BENCHMARK(BM_ReadOversized)->Arg(100 << 20)->Unit(benchmark::kMicrosecond);

// Alternating values make every write a real one: an unchanged value is not
// written again.
void BM_Write(benchmark::State& state) {
    ScratchDir dir;
    const std::string path = dir.File("tavro.cfg");
    MakeFile(path, static_cast<std::size_t>(state.range(0)));
    bool flip = false;
    for (auto _ : state) {
        flip = !flip;
        if (!platform::WritePrivateProfileStringA("General", "sound", flip ? "0" : "1",
                                                  path.c_str()))
            state.SkipWithError("write failed");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(fs::file_size(path)));
}
BENCHMARK(BM_Write)->Arg(1 << 10)->Arg(1000 << 10)->Unit(benchmark::kMillisecond);

// What "Run This Game" stores: the screen mode, the frame skip and the five
// switches, each a separate write of its own.
void BM_GameStartWrites(benchmark::State& state) {
    ScratchDir dir;
    const std::string path = dir.File("tavro.cfg");
    std::ofstream(path, std::ios::binary) << Typical;
    bool flip = false;
    for (auto _ : state) {
        flip = !flip;
        const char* sw = flip ? "1" : "0";
        bool ok = platform::WritePrivateProfileStringA("Resolution", "res",
                                                       flip ? "800x600" : "640x400", path.c_str());
        ok &= platform::WritePrivateProfileStringA("Frameskip", "number", flip ? "3" : "2",
                                                   path.c_str()) != 0;
        for (const char* key : {"sync", "debug", "nocheck", "sound", "profile"})
            ok &= platform::WritePrivateProfileStringA("General", key, sw, path.c_str()) != 0;
        if (!ok)
            state.SkipWithError("write failed");
    }
}
BENCHMARK(BM_GameStartWrites)->Unit(benchmark::kMillisecond);

// The same seven writes when the choices are those already stored, as when a
// game is started again with the same settings: nothing needs writing.
void BM_GameStartWritesUnchanged(benchmark::State& state) {
    ScratchDir dir;
    const std::string path = dir.File("tavro.cfg");
    std::ofstream(path, std::ios::binary) << Typical;
    for (auto _ : state) {
        bool ok =
            platform::WritePrivateProfileStringA("Resolution", "res", "640x400", path.c_str()) != 0;
        ok &= platform::WritePrivateProfileStringA("Frameskip", "number", "2", path.c_str()) != 0;
        for (const auto& [key, value] :
             {std::pair{"sync", "1"}, std::pair{"debug", "0"}, std::pair{"nocheck", "0"},
              std::pair{"sound", "1"}, std::pair{"profile", "0"}})
            ok &= platform::WritePrivateProfileStringA("General", key, value, path.c_str()) != 0;
        if (!ok)
            state.SkipWithError("write failed");
    }
}
BENCHMARK(BM_GameStartWritesUnchanged)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
