#include "app/FolderDialog.h"

#include <QWidget>
#include <memory>
#include <string>

#include <shlobj.h>
#include <windows.h>

namespace app {
namespace {

// Shell item lists and names are the caller's to free with the task allocator.
struct TaskMemFree {
    void operator()(void* p) const { CoTaskMemFree(p); }
};

} // namespace

std::optional<std::filesystem::path> ChooseFolderNative(QWidget* owner, const QString& title) {
    const std::wstring caption = title.toStdWString();
    BROWSEINFOW info{};
    info.hwndOwner = owner ? reinterpret_cast<HWND>(owner->window()->winId()) : nullptr;
    info.lpszTitle = caption.c_str();
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    const std::unique_ptr<ITEMIDLIST, TaskMemFree> chosen(SHBrowseForFolderW(&info));
    if (!chosen) return std::nullopt;
    // The name comes back allocated, so no path length limit applies.
    PWSTR name = nullptr;
    if (FAILED(SHGetNameFromIDList(chosen.get(), SIGDN_FILESYSPATH, &name)) || !name) return std::nullopt;
    const std::unique_ptr<wchar_t, TaskMemFree> owned(name);
    return std::filesystem::path(std::wstring(owned.get()));
}

} // namespace app
