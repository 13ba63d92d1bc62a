#pragma once
// The name of a temporary file, removed when its owner goes unless it was
// released (moved into place). Remove is the backend's removal of one name.

#include <utility>

namespace host {

template <class String, void (*Remove)(const String&)>
class TempPath final {
public:
    TempPath() = default;
    ~TempPath() {
        if (!path_.empty()) Remove(path_);
    }
    TempPath(const TempPath&) = delete;
    TempPath& operator=(const TempPath&) = delete;
    void Set(String path) { path_ = std::move(path); }
    const String& Path() const { return path_; }
    void Release() { path_.clear(); }

private:
    String path_;
};

} // namespace host
