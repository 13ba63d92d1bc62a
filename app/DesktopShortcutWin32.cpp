#include <windows.h>
// After windows.h.
#include <knownfolders.h>
#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <QString>

#include "app/DesktopShortcut.h"
#include "app/ShortcutRules.h"
#include "components/Text.h"

namespace fs = std::filesystem;

namespace app {
namespace {

std::wstring Wide(const std::string& text) { return components::ToQ(text).toStdWString(); }

// The system's words for an error code.
std::string ErrorText(DWORD code) {
    wchar_t* text = nullptr;
    const DWORD n =
        ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                         nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    QString why = n ? QString::fromWCharArray(text, static_cast<qsizetype>(n)).trimmed()
                    : QStringLiteral("ошибка 0x%1").arg(code, 8, 16, QLatin1Char('0'));
    ::LocalFree(text);
    return components::ToStd(why);
}

// COM for this thread while it lives. Qt has usually made the thread an
// apartment already: then COM is usable as it is.
class ComApartment final {
public:
    ComApartment() : hr_(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) {}
    ~ComApartment() {
        if (SUCCEEDED(hr_)) ::CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    HRESULT Result() const { return hr_ == RPC_E_CHANGED_MODE ? S_OK : hr_; }

private:
    HRESULT hr_;
};

// Releases the interface when it goes out of scope.
template <class T>
class ComRef final {
public:
    ComRef() = default;
    ~ComRef() {
        if (p_) p_->Release();
    }
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    T* operator->() const { return p_; }
    void** Out() { return reinterpret_cast<void**>(&p_); }

private:
    T* p_ = nullptr;
};

// Frees a string the shell handed out.
class TaskString final {
public:
    TaskString() = default;
    ~TaskString() { ::CoTaskMemFree(p_); }
    TaskString(const TaskString&) = delete;
    TaskString& operator=(const TaskString&) = delete;
    PWSTR* Out() { return &p_; }
    PCWSTR Get() const { return p_; }

private:
    PWSTR p_ = nullptr;
};

host::Status Failed(std::string_view what, HRESULT hr) {
    const DWORD code = HRESULT_FACILITY(hr) == FACILITY_WIN32 ? HRESULT_CODE(hr) : static_cast<DWORD>(hr);
    return {host::Fault::Other, std::string(what) + ": " + ErrorText(code)};
}

std::wstring ModulePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

std::wstring CurrentFolder() {
    std::wstring folder(::GetCurrentDirectoryW(0, nullptr), L'\0');
    folder.resize(::GetCurrentDirectoryW(static_cast<DWORD>(folder.size()), folder.data()));
    return folder;
}

} // namespace

host::Result<fs::path> MakeDesktopShortcut(const std::string& name, const std::vector<std::string>& arguments) {
    const ComApartment com;
    if (FAILED(com.Result())) return Failed("COM", com.Result());
    TaskString desktop;
    if (const HRESULT hr = ::SHGetKnownFolderPath(FOLDERID_Desktop, KF_FLAG_CREATE, nullptr, desktop.Out()); FAILED(hr))
        return Failed("папка рабочего стола", hr);
    const fs::path file = fs::path(desktop.Get()) / Wide(ShortcutFileName(name, ".lnk"));
    const std::string shown = components::ToStd(QString::fromStdWString(file.wstring()));

    ComRef<IShellLinkW> link;
    if (const HRESULT hr =
            ::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.Out());
        FAILED(hr))
        return Failed(shown, hr);
    const std::wstring program = ModulePath();
    HRESULT hr = link->SetPath(program.c_str());
    if (SUCCEEDED(hr)) hr = link->SetArguments(Wide(WindowsArguments(arguments)).c_str());
    if (SUCCEEDED(hr)) hr = link->SetWorkingDirectory(CurrentFolder().c_str());
    if (SUCCEEDED(hr)) hr = link->SetIconLocation(program.c_str(), 0);
    if (SUCCEEDED(hr)) hr = link->SetDescription(Wide(ShortcutTitle(name)).c_str());
    if (FAILED(hr)) return Failed(shown, hr);
    ComRef<IPersistFile> persist;
    if (hr = link->QueryInterface(IID_IPersistFile, persist.Out()); FAILED(hr)) return Failed(shown, hr);

    // Saved beside it and moved over it: an old shortcut stays whole until
    // the new one is.
    const std::wstring temp = file.wstring() + L".new";
    if (hr = persist->Save(temp.c_str(), FALSE); FAILED(hr)) {
        ::DeleteFileW(temp.c_str());
        return Failed(shown, hr);
    }
    if (!::MoveFileExW(temp.c_str(), file.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const DWORD error = ::GetLastError();
        ::DeleteFileW(temp.c_str());
        return host::Status(host::Fault::Other, shown + ": " + ErrorText(error));
    }
    return file;
}

} // namespace app
