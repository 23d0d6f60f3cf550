#pragma once

// The one way new code reports what went wrong: a value, or a Problem that says which message
// the user is shown (its string id, 0 where no message of the table fits), what it was about
// (a number, a path) and why (the system's or a server's words). The outer function maps a
// problem to the codes and messages callers expect; nothing in between throws. A part that
// must say more than a Problem does (whether to try again) reports a type made of one.

#include <QString>
#include <utility>
#include <variant>

struct Problem {
    int messageId = 0; // string table id shown to the user; 0: none (logged or passed on)
    QString what;      // what it was about: a number, a path, a job's name
    QString reason;    // why, in words

    // "what: reason", or the one that is there.
    QString Text() const {
        if (what.isEmpty())
            return reason;
        if (reason.isEmpty())
            return what;
        return what + QStringLiteral(": ") + reason;
    }
};

template <typename T, typename E = Problem> class [[nodiscard]] Result {
public:
    Result(T value) : m_state(std::in_place_index<0>, std::move(value)) {}     // NOLINT: implicit
    Result(E problem) : m_state(std::in_place_index<1>, std::move(problem)) {} // NOLINT

    bool Ok() const { return m_state.index() == 0; }
    explicit operator bool() const { return Ok(); }

    T& Value() & { return std::get<0>(m_state); }
    const T& Value() const& { return std::get<0>(m_state); }
    T&& Value() && { return std::get<0>(std::move(m_state)); }
    T& operator*() & { return Value(); }
    const T& operator*() const& { return Value(); }
    T* operator->() { return &Value(); }
    const T* operator->() const { return &Value(); }

    const E& Error() const { return std::get<1>(m_state); }

private:
    std::variant<T, E> m_state;
};

// A result without a value: success, or a problem.
template <typename E> class [[nodiscard]] Result<void, E> {
public:
    Result() = default;
    Result(E problem) : m_problem(std::move(problem)), m_failed(true) {} // NOLINT: implicit

    bool Ok() const { return !m_failed; }
    explicit operator bool() const { return Ok(); }
    const E& Error() const { return m_problem; }

private:
    E m_problem;
    bool m_failed = false;
};

inline Result<void> Success() {
    return {};
}
