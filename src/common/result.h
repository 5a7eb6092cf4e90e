#pragma once

// Errors are values: a closed set of kinds the callers branch on, plus a short English detail
// for the front ends to show. Shaped like C++23 std::expected so it can be swapped later.
//
// The detail is the bare reason ("truncated pixel data", "No space left on device"): never the file's name
// nor what was being done. The front that started the work knows both and builds the message from the
// file, the verb and the reason, in one place.

#include <string>
#include <utility>
#include <variant>

namespace tarvik {

enum class ErrorCode {
    NotThisFormat,   // valid file, but not the kind this reader handles
    Truncated,       // the data ends before what the header announces
    Corrupt,         // fields that contradict each other or the format
    Unsupported,     // a well-formed variant we do not decode (bit depth, ...)
    TooLarge,        // declared sizes beyond what we accept
    TooManyColours,  // more colour/alpha combinations than the RL palette holds
    RowTooLong,      // an RL row whose codes need more than 255 bytes
    Io,              // the file system refused: open, read, write, rename
    OutOfMemory,     // the image does not fit in the memory the system gives us
    Cancelled,
};

// Which file a failure concerns, for work that reads one file and writes another: Output is the file being
// written (its writer says so), Input anything else.
enum class Side { Input, Output };

struct Error {
    ErrorCode code;
    std::string detail;
    Side side = Side::Input;
};

inline const char* errorCodeName(ErrorCode code) {
    switch (code) {
        case ErrorCode::NotThisFormat: return "not this format";
        case ErrorCode::Truncated: return "truncated";
        case ErrorCode::Corrupt: return "corrupt";
        case ErrorCode::Unsupported: return "unsupported";
        case ErrorCode::TooLarge: return "too large";
        case ErrorCode::TooManyColours: return "too many colours";
        case ErrorCode::RowTooLong: return "row too long";
        case ErrorCode::Io: return "input/output error";
        case ErrorCode::OutOfMemory: return "not enough memory";
        case ErrorCode::Cancelled: return "cancelled";
    }
    return "error";
}

template <class T>
class [[nodiscard]] Result {
public:
    Result(T value) : m_state(std::move(value)) {}
    Result(Error error) : m_state(std::move(error)) {}

    bool ok() const { return std::holds_alternative<T>(m_state); }
    explicit operator bool() const { return ok(); }

    T& value() & { return std::get<T>(m_state); }
    const T& value() const& { return std::get<T>(m_state); }
    T&& value() && { return std::get<T>(std::move(m_state)); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }
    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }

    const Error& error() const { return std::get<Error>(m_state); }

private:
    std::variant<T, Error> m_state;
};

template <>
class [[nodiscard]] Result<void> {
public:
    Result() = default;
    Result(Error error) : m_error(std::move(error)), m_ok(false) {}

    bool ok() const { return m_ok; }
    explicit operator bool() const { return m_ok; }
    const Error& error() const { return m_error; }

private:
    Error m_error{ErrorCode::Io, {}};
    bool m_ok = true;
};

using Status = Result<void>;

inline Error makeError(ErrorCode code, std::string detail) { return Error{code, std::move(detail)}; }
inline Error outputError(ErrorCode code, std::string detail) {
    return Error{code, std::move(detail), Side::Output};
}

}  // namespace tarvik
