#pragma once

#include <QString>

#include <optional>
#include <utility>

namespace wendlecott::core {

// What went wrong, as a value. Tests assert the code; the message is for people.
enum class ErrorCode {
    None,
    NotFound,     // a file or row that should be there is not
    ReadFailed,   // a file exists but could not be read
    WriteFailed,  // a file could not be written; the old one is intact
    InvalidInput, // malformed text, a bad number, a usage error
    NoTldRow,     // no TLD row serves a name
    Network,      // a connection could not be made or broke
    Timeout,      // nothing arrived in time
    Cancelled,    // the user said no
    PermissionDenied,
};

struct Error {
    ErrorCode code = ErrorCode::None;
    QString message;
};

// Success or an Error, for operations without a value. Neither it nor Result may be dropped
// unread: a caller that has nothing to do with an error says why, with static_cast<void>.
class [[nodiscard]] Status {
public:
    Status() = default;
    Status(Error error) : m_error(std::move(error)) {} // NOLINT: implicit on purpose
    static Status success() { return {}; }
    static Status failure(ErrorCode code, QString message) { return Status(Error{code, std::move(message)}); }

    bool ok() const { return !m_error.has_value(); }
    explicit operator bool() const { return ok(); }
    ErrorCode code() const { return m_error ? m_error->code : ErrorCode::None; }
    QString message() const { return m_error ? m_error->message : QString(); }
    const Error &error() const { return *m_error; }

private:
    std::optional<Error> m_error;
};

// A value or an Error.
template <typename T> class [[nodiscard]] Result {
public:
    Result(T value) : m_value(std::move(value)) {}     // NOLINT: implicit on purpose
    Result(Error error) : m_error(std::move(error)) {} // NOLINT: implicit on purpose
    static Result failure(ErrorCode code, QString message) { return Result(Error{code, std::move(message)}); }

    bool ok() const { return m_value.has_value(); }
    explicit operator bool() const { return ok(); }
    const T &value() const & { return *m_value; }
    T &value() & { return *m_value; }
    T &&value() && { return std::move(*m_value); }
    T valueOr(T fallback) const { return m_value ? *m_value : std::move(fallback); }
    ErrorCode code() const { return m_error ? m_error->code : ErrorCode::None; }
    QString message() const { return m_error ? m_error->message : QString(); }
    const Error &error() const { return *m_error; }
    Status status() const { return m_error ? Status(*m_error) : Status(); }

private:
    std::optional<T> m_value;
    std::optional<Error> m_error;
};

} // namespace wendlecott::core
