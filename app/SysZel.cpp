#include "app/SysZel.h"

#include "app/Dialogs.h"
#include "components/Text.h"
#include "host/Paths.h"

namespace app {

using components::ToQ;

std::string BrowseForFolder(QWidget* owner, std::string_view title) {
    const auto folder = CurrentDialogs().ChooseFolder(owner, ToQ(title));
    if (!folder || folder->empty()) return {};
    std::string path = host::ToWindowsPath(*folder);
    // "X:\" keeps its "\"; any other folder loses a trailing one.
    while (path.size() > 1 && path.back() == '\\' && !(path.size() == 3 && path[1] == ':')) path.pop_back();
    return path;
}

} // namespace app
