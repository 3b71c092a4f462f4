#pragma once

// The one way a failure with a reason comes back: a value or its error,
// shaped as C++23's std::expected and std::unexpected so that they can take
// its place once every compiler of the project has them. A failure whose
// reason no caller needs is std::optional instead; no error ever comes back
// through an out-parameter or an empty string.

#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>

namespace hall {

template <class E>
class Unexpected {
public:
    explicit Unexpected(E error) : error_(std::move(error)) {}
    const E& error() const& { return error_; }
    E&& error() && { return std::move(error_); }

private:
    E error_;
};
template <class E>
Unexpected(E) -> Unexpected<E>;
Unexpected(const char*)->Unexpected<std::string>;

template <class T, class E = std::string>
class [[nodiscard]] Result {
public:
    Result(T value) : state_(std::in_place_index<0>, std::move(value)) {}
    template <class G, class = std::enable_if_t<std::is_constructible_v<E, G>>>
    Result(Unexpected<G> failure) : state_(std::in_place_index<1>, E(std::move(failure).error())) {}

    bool has_value() const { return state_.index() == 0; }
    explicit operator bool() const { return has_value(); }
    const T& value() const& { return std::get<0>(state_); }
    T& value() & { return std::get<0>(state_); }
    T&& value() && { return std::get<0>(std::move(state_)); }
    const T& operator*() const& { return value(); }
    T& operator*() & { return value(); }
    const T* operator->() const { return &value(); }
    T* operator->() { return &value(); }
    const E& error() const { return std::get<1>(state_); }
    template <class U>
    T value_or(U&& fallback) const& {
        return has_value() ? value() : static_cast<T>(std::forward<U>(fallback));
    }

private:
    std::variant<T, E> state_;
};

// Success without a value, or the reason it failed.
template <class E>
class [[nodiscard]] Result<void, E> {
public:
    Result() = default;
    template <class G, class = std::enable_if_t<std::is_constructible_v<E, G>>>
    Result(Unexpected<G> failure) : error_(E(std::move(failure).error())) {}

    bool has_value() const { return !error_; }
    explicit operator bool() const { return has_value(); }
    const E& error() const { return *error_; }

private:
    std::optional<E> error_;
};

using Status = Result<void>;

}  // namespace hall
