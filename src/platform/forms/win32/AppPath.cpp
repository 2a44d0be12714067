// App::Path() on Windows: the directory of the program's own file.
#include "platform/forms/App.h"

#include "platform/forms/Testing.h"
#include "platform/system/win32/wide_names.h"
#include "platform/win32.h"

#include <string>

namespace platform::forms {

namespace {

std::wstring ModuleFile() {
    std::wstring name(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
        if (length == 0) {
            return {};
        }
        if (length < name.size()) {
            name.resize(length);
            return name;
        }
        name.resize(name.size() * 2); // cut short: a longer buffer
    }
}

} // namespace

std::string App::Path() {
    if (const std::string testPath = AppPathForTesting(); !testPath.empty()) {
        return testPath;
    }
    static const std::string path = [] {
        std::wstring file = ModuleFile();
        // A long path comes back marked "\\?\": the directory is named without it.
        if (file.rfind(L"\\\\?\\UNC\\", 0) == 0) {
            file = L"\\\\" + file.substr(8);
        } else if (file.rfind(L"\\\\?\\", 0) == 0) {
            file = file.substr(4);
        }
        const std::wstring::size_type slash = file.find_last_of(L"\\/");
        return NarrowName(slash == std::wstring::npos ? file : file.substr(0, slash));
    }();
    return path;
}

} // namespace platform::forms
