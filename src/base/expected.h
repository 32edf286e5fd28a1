#pragma once

// Expected<T>: a value, or the reason it could not be had. The one way new code reports a
// failure the caller is meant to handle (a file that cannot be written, a server that will not
// start, a database that is locked); exceptions stay for faults. The reason is one line a person
// can read ("could not write clip.json: No space left on device").
//
//     Expected<std::string> text = readFile(path);
//     if (!text)
//         return Unexpected(text.error());
//     use(*text);

#include <string>
#include <type_traits>
#include <utility>
#include <variant>

namespace vellinor {

// The failure side, so that `return Unexpected("why");` converts to any Expected<T>.
struct Unexpected {
    explicit Unexpected(std::string why) : reason(std::move(why)) {}
    std::string reason;
};

template <typename T>
class [[nodiscard]] Expected {
public:
    Expected(T value) : m_state(std::in_place_index<0>, std::move(value)) {}
    Expected(Unexpected failure) : m_state(std::in_place_index<1>, std::move(failure.reason)) {}

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
    [[nodiscard]] const std::string& error() const { return std::get<1>(m_state); }

    template <typename U>
    T valueOr(U&& fallback) const&
    {
        return hasValue() ? value() : static_cast<T>(std::forward<U>(fallback));
    }

private:
    std::variant<T, std::string> m_state;
};

// For operations that give nothing back but may fail.
struct Done {};
using Status = Expected<Done>;
inline Status ok()
{
    return Done{};
}

}  // namespace vellinor
