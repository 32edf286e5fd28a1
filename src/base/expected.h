#pragma once

// Expected<T>: a value, or the reason it could not be had. The one way code reports a failure
// the caller is meant to handle (a file that cannot be written, a server that will not start,
// a database that is locked); exceptions stay for faults. A failure has a kind, for callers
// that act on what went wrong (try again later, stop quietly, refuse), and a reason, one line
// a person can read ("could not write clip.json: No space left on device"). Callers branch on
// the kind, never on the reason's words.
//
//     Expected<std::string> text = readFile(path);
//     if (!text)
//         return Unexpected(text.failure());    // passes the kind on with the reason
//     use(*text);

#include <string>
#include <type_traits>
#include <utility>
#include <variant>

namespace vellinor {

enum class ErrorKind {
    failed,     // it did not work; the reason says why
    notFound,   // what it was asked for is not there (no such file, a dangling link)
    cancelled,  // its caller gave up on it (Cancel, quitting): nothing to report
    busy,       // something else holds what it needs (a locked database): may work later
    refused,    // it would not act on what it was given (a link, a file that is not ours)
    tooLarge,   // the input is over a limit set to bound what one file may cost
    timedOut,   // it did not finish within its time limit
};

struct Failure {
    ErrorKind kind = ErrorKind::failed;
    std::string reason;
};

// The failure side, so that `return Unexpected("why");` converts to any Expected<T>.
struct Unexpected {
    explicit Unexpected(std::string why) : failure{ErrorKind::failed, std::move(why)} {}
    Unexpected(ErrorKind kind, std::string why) : failure{kind, std::move(why)} {}
    explicit Unexpected(Failure passedOn) : failure(std::move(passedOn)) {}
    Failure failure;
};

template <typename T>
class [[nodiscard]] Expected {
public:
    Expected(T value) : m_state(std::in_place_index<0>, std::move(value)) {}
    Expected(Unexpected failure) : m_state(std::in_place_index<1>, std::move(failure.failure)) {}

    [[nodiscard]] bool hasValue() const noexcept { return m_state.index() == 0; }
    explicit operator bool() const noexcept { return hasValue(); }

    // Only with a value (checked by std::get: a misuse throws std::bad_variant_access).
    T& value() & { return std::get<0>(m_state); }
    const T& value() const& { return std::get<0>(m_state); }
    T&& value() && { return std::get<0>(std::move(m_state)); }
    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }
    T&& operator*() && { return std::move(*this).value(); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }

    // Only without a value.
    [[nodiscard]] const Failure& failure() const { return std::get<1>(m_state); }
    [[nodiscard]] ErrorKind kind() const { return failure().kind; }
    [[nodiscard]] const std::string& error() const { return failure().reason; }
    // Without a value and of `wanted` kind.
    [[nodiscard]] bool failedWith(ErrorKind wanted) const
    {
        return !hasValue() && kind() == wanted;
    }

    template <typename U>
    T valueOr(U&& fallback) const&
    {
        return hasValue() ? value() : static_cast<T>(std::forward<U>(fallback));
    }

private:
    std::variant<T, Failure> m_state;
};

// For operations that give nothing back but may fail.
struct Done {};
using Status = Expected<Done>;
inline Status ok()
{
    return Done{};
}

}  // namespace vellinor
