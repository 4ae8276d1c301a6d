#pragma once

#include <string>
#include <utility>
#include <variant>

namespace halvane {

// Why something could not be done, in words for the user ("it does not
// exist", "Sorry, ...!"). Every failure that reaches a person comes back as one.
struct Failure {
    std::string message;
};

// A value, or the failure that kept it from being made. Result<> (no value)
// is the form for actions that either succeed or fail.
template <class T = std::monostate> class [[nodiscard]] Result {
public:
    Result() requires std::is_default_constructible_v<T> : m_state(T{}) { }
    Result(T value) : m_state(std::move(value)) { }
    Result(Failure failure) : m_state(std::move(failure)) { }

    bool Ok() const { return m_state.index() == 0; }
    explicit operator bool() const { return Ok(); }

    // The value; only when Ok().
    T& Value() { return std::get<0>(m_state); }
    const T& Value() const { return std::get<0>(m_state); }
    T* operator->() { return &Value(); }
    const T* operator->() const { return &Value(); }
    T& operator*() { return Value(); }
    const T& operator*() const { return Value(); }

    // The failure's words; empty when Ok().
    const std::string& Message() const
    {
        static const std::string kNone;
        return Ok() ? kNone : std::get<1>(m_state).message;
    }

private:
    std::variant<T, Failure> m_state;
};

}  // namespace halvane
