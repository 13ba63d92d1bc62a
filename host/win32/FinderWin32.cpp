// Directory enumeration with FindFirstFileExW/FindNextFileW. The system
// matches the mask and reports the attribute word; the requested-set rule is
// applied here, as the Windows enumeration itself leaves it to its caller.

#include "host/Finder.h"

#include "host/HostTypes.h"
#include "host/win32/Wide.h"

namespace host {
namespace {

struct FindCloser {
    void operator()(HANDLE h) const {
        if (h != INVALID_HANDLE_VALUE) ::FindClose(h);
    }
};

constexpr std::uint32_t kFiltered = faHidden | faSysFile | faVolumeID | faDirectory;

wchar_t Upper(wchar_t c) {
    ::CharUpperBuffW(&c, 1);
    return c;
}

bool Glob(std::wstring_view name, std::wstring_view mask) {
    std::size_t n = 0, m = 0, starM = std::wstring_view::npos, starN = 0;
    while (n < name.size()) {
        if (m < mask.size() && mask[m] == L'*') {
            starM = m++;
            starN = n;
        } else if (m < mask.size() && (mask[m] == L'?' || Upper(mask[m]) == Upper(name[n]))) {
            ++m;
            ++n;
        } else if (starM != std::wstring_view::npos) {
            m = starM + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == L'*') ++m;
    return m == mask.size();
}

} // namespace

bool MatchesMask(std::string_view name, std::string_view mask) {
    const std::wstring wideName = win32::Utf8ToWideLossy(name), wideMask = win32::Utf8ToWideLossy(mask);
    if (Glob(wideName, wideMask)) return true;
    // A final ".*" also matches the end of a name without the dot.
    return wideMask.size() >= 2 && wideMask.ends_with(L".*") &&
           Glob(wideName, std::wstring_view(wideMask).substr(0, wideMask.size() - 2));
}

struct Finder::Impl {
    std::unique_ptr<void, FindCloser> find{INVALID_HANDLE_VALUE};
    std::wstring folder;
    std::uint32_t requested = 0;
    bool found = false;
    std::string name;
    std::uint32_t attributes = 0;
    bool reparsePoint = false;
    mutable std::optional<std::optional<FileId>> folderId;

    // Takes the entry in data unless the requested set passes it over.
    bool Take(const WIN32_FIND_DATAW& data) {
        const std::uint32_t word = data.dwFileAttributes & faAnyFile;
        if (word & kFiltered & ~requested) return false;
        name = win32::WideToUtf8(data.cFileName);
        attributes = word;
        reparsePoint = data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT;
        found = true;
        return true;
    }

    bool Advance(WIN32_FIND_DATAW& data) {
        found = false;
        if (find.get() == INVALID_HANDLE_VALUE) return false;
        while (::FindNextFileW(find.get(), &data))
            if (Take(data)) return true;
        return false;
    }
};

Finder::Finder(std::string_view pattern, std::uint32_t requested) : impl_(std::make_unique<Impl>()) {
    const std::wstring wide = win32::ApiPath(pattern);
    const std::size_t cut = wide.find_last_of(L"\\/");
    impl_->folder = cut == std::wstring::npos ? L"." : wide.substr(0, cut + 1);
    impl_->requested = requested;
    WIN32_FIND_DATAW data{};
    HANDLE h = ::FindFirstFileExW(wide.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr,
                                  FIND_FIRST_EX_LARGE_FETCH);
    if (h == INVALID_HANDLE_VALUE) return;
    impl_->find.reset(h);
    if (!impl_->Take(data)) impl_->Advance(data);
}

// FindFirstFileExW takes a path only.
Finder::Finder(const Finder&, std::string_view pattern, std::uint32_t requested) : Finder(pattern, requested) {}

Finder::~Finder() = default;

bool Finder::Found() const { return impl_->found; }

const std::string& Finder::Name() const { return impl_->name; }

std::uint32_t Finder::Attributes() const { return impl_->found ? impl_->attributes : 0; }

bool Finder::IsDirectory() const { return impl_->found && (impl_->attributes & faDirectory); }

bool Finder::Next() {
    WIN32_FIND_DATAW data{};
    return impl_->Advance(data);
}

bool Finder::Yields(std::uint32_t requested) const {
    return impl_->found && !(impl_->attributes & kFiltered & ~requested);
}

// Junctions, symbolic links and mounted volumes are all reparse points (Wine
// reports a Unix link to a folder as one too); nothing else makes a loop.
bool Finder::MayLoop(const MountNames&) const { return impl_->found && impl_->reparsePoint; }

MountNames MountNames::Read() { return {}; }

bool MountNames::Holds(std::string_view) const { return false; }

std::optional<FileId> Finder::FolderIdentity() const {
    if (!impl_->folderId) impl_->folderId = FolderId(win32::WideToUtf8(impl_->folder));
    return *impl_->folderId;
}

} // namespace host
