#pragma once
// The folder-browse helper.

#include <string>
#include <string_view>

class QWidget;

namespace app {

// The folder the user chose, as a Windows path without a trailing "\"
// (unless it is a drive root); empty when the user cancelled.
std::string BrowseForFolder(QWidget* owner, std::string_view title);

} // namespace app
