#pragma once
// "Failed, and why": what every host call that can fail hands back. A box
// that tells the user about a failure names the system's reason, and the
// callers that must act on a kind of failure (a file the user may not write,
// a file another program holds) can tell it without parsing the text.

#include <string>
#include <utility>
#include <variant>

namespace host {

enum class Fault {
    None,
    NotFound, // no such file or folder
    Denied,   // the system refuses this user (permissions, a read-only file)
    InUse,    // another program holds the file
    Other,
};

class [[nodiscard]] Status {
public:
    Status() = default; // success
    Status(Fault kind, std::string reason) : kind_(kind), reason_(std::move(reason)) {}

    bool Ok() const { return kind_ == Fault::None; }
    explicit operator bool() const { return Ok(); }
    Fault Kind() const { return kind_; }
    // The system's words for the failure; empty on success.
    const std::string& Reason() const { return reason_; }

private:
    Fault kind_ = Fault::None;
    std::string reason_;
};

// A value, or the failure that kept it from being made.
template <class T>
class [[nodiscard]] Result {
public:
    Result(T value) : value_(std::move(value)) {}
    Result(Status failure) : value_(std::move(failure)) {}

    explicit operator bool() const { return std::holds_alternative<T>(value_); }
    T& operator*() { return std::get<T>(value_); }
    const T& operator*() const { return std::get<T>(value_); }
    T* operator->() { return &std::get<T>(value_); }
    const T* operator->() const { return &std::get<T>(value_); }
    // Success when there is a value, else the failure.
    Status Why() const { return *this ? Status() : std::get<Status>(value_); }
    // Holds exactly this value (never equal when failed).
    template <class U>
    friend bool operator==(const Result& result, const U& value) {
        return result && *result == value;
    }

private:
    std::variant<T, Status> value_;
};

} // namespace host
