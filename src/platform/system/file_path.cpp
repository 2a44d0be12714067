#include "platform/system/file_path.h"

namespace platform {

PathParts SplitPath(std::string_view file) {
#ifdef _WIN32
    // Either slash separates, and a drive's root ("C:\") or its current
    // directory ("C:") is a directory of its own.
    const std::size_t slash = file.find_last_of("/\\");
    const bool drive = file.size() >= 2 && file[1] == ':';
    if (slash == std::string_view::npos)
        return drive ? PathParts{std::string(file.substr(0, 2)), std::string(file.substr(2))}
                     : PathParts{".", std::string(file)};
    const std::size_t keep = slash == 0 || (drive && slash == 2) ? slash + 1 : slash;
#else
    const std::size_t slash = file.rfind('/');
    if (slash == std::string_view::npos)
        return {".", std::string(file)};
    const std::size_t keep = slash == 0 ? 1 : slash;
#endif
    return {std::string(file.substr(0, keep)), std::string(file.substr(slash + 1))};
}

} // namespace platform
