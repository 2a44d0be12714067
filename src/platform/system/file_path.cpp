#include "platform/system/file_path.h"

namespace platform {

PathParts SplitPath(std::string_view file) {
    const std::size_t slash = file.rfind('/');
    if (slash == std::string_view::npos)
        return {".", std::string(file)};
    return {slash == 0 ? "/" : std::string(file.substr(0, slash)),
            std::string(file.substr(slash + 1))};
}

} // namespace platform
