#pragma once
// The program's error classes. Messages are formatted Russian texts naming
// the value, key or file.

#include <stdexcept>
#include <string>

namespace settings {

// The general error class.
class Exception : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class ERegistryException : public Exception {
public:
    using Exception::Exception;
};

// A text that is not an integer ("'%s' is not a valid integer value").
class EConvertError : public Exception {
public:
    using Exception::Exception;
};

} // namespace settings
