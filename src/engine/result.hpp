#pragma once
#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace pyrelle {

// Why an operation failed: one line of French for the player, without the line feed.
struct Failure {
    std::string message;
};

// What an operation that can fail gives back: its value, or why it failed. The caller
// decides what to do with a failure (say it, fall back, stop); nothing here prints.
template <typename T>
class [[nodiscard]] Result {
  public:
    Result(T value) : state_(std::move(value)) {}
    Result(Failure failure) : state_(std::move(failure)) {}

    bool ok() const { return state_.index() == 0; }
    const T& value() const& { return std::get<0>(state_); }
    T& value() & { return std::get<0>(state_); }
    T&& value() && { return std::get<0>(std::move(state_)); }
    const std::string& error() const { return std::get<1>(state_).message; }

  private:
    std::variant<T, Failure> state_;
};

// The same for an operation that gives back nothing but success.
template <>
class [[nodiscard]] Result<void> {
  public:
    Result() = default;
    Result(Failure failure) : failure_(std::move(failure.message)) {}

    bool ok() const { return !failure_; }
    const std::string& error() const { return *failure_; }

  private:
    std::optional<std::string> failure_;
};

}  // namespace pyrelle
