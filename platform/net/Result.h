#pragma once
// How the network layer reports a failure: an operation that can fail returns a Result,
// which holds its value or the Error that says why. Nothing in this layer throws for a
// failure of the network or the system, nor leaves the reason behind in another place.

#include <optional>
#include <string>
#include <system_error>
#include <utility>
#include <variant>

namespace net {

struct Error {
    int code = 0;        // the system's error number (errno) that names the failure
    std::string reason;  // in words, for the log and for the caller's own reason

    // The failure the system reports as `code`, in the system's words.
    static Error system(int code) { return {code, std::system_category().message(code)}; }
};

// True when it holds the value; error() only when it does not. A Result left unread
// is a failure nobody hears of: the compiler says so.
template <class T = void>
class [[nodiscard]] Result {
public:
    Result(T value) : outcome_(std::in_place_index<0>, std::move(value)) {}
    Result(Error error) : outcome_(std::in_place_index<1>, std::move(error)) {}

    explicit operator bool() const { return outcome_.index() == 0; }
    T& operator*() { return std::get<0>(outcome_); }
    const T& operator*() const { return std::get<0>(outcome_); }
    T* operator->() { return &std::get<0>(outcome_); }
    const Error& error() const { return std::get<1>(outcome_); }

private:
    std::variant<T, Error> outcome_;
};

// An operation that gives nothing but its success.
template <>
class [[nodiscard]] Result<void> {
public:
    Result() = default;
    Result(Error error) : error_(std::move(error)) {}

    explicit operator bool() const { return !error_; }
    const Error& error() const { return *error_; }

private:
    std::optional<Error> error_;
};

}  // namespace net
