#pragma once

#include <QString>

#include <optional>
#include <utility>

namespace tandrel {

// Engines return failures as values; only windows and the command line show them.
// A dropped one is a failure nobody hears of, hence nodiscard.
template <typename T> class [[nodiscard]] Result {
public:
    Result(T value) : m_value(std::move(value)) {}
    static Result failure(QString message) {
        Result r;
        r.m_error = std::move(message);
        return r;
    }

    bool ok() const { return m_value.has_value(); }
    explicit operator bool() const { return ok(); }
    const T& value() const& { return *m_value; }
    T& value() & { return *m_value; }
    T&& value() && { return std::move(*m_value); }
    const T* operator->() const { return &*m_value; }
    const T& operator*() const { return *m_value; }
    const QString& error() const { return m_error; }

private:
    Result() = default;
    std::optional<T> m_value;
    QString m_error;
};

class [[nodiscard]] Status {
public:
    static Status success() { return Status(); }
    static Status failure(QString message) {
        Status s;
        s.m_ok = false;
        s.m_error = std::move(message);
        return s;
    }
    bool ok() const { return m_ok; }
    explicit operator bool() const { return m_ok; }
    const QString& error() const { return m_error; }

private:
    bool m_ok = true;
    QString m_error;
};

// Paths shown to the user in messages use the platform's separator.
QString displayPath(const QString& path);

} // namespace tandrel
