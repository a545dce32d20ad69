// Result<T, E>: a value or an error, for expected failures in core code.
#pragma once

#include <cassert>
#include <utility>
#include <variant>

template <typename E>
struct Failure {
  E error;
};

// Makes a Failure that converts to any Result<T, E>: `return Fail(WavError::Truncated);`
template <typename E>
Failure<std::decay_t<E>> Fail(E&& error) {
  return {std::forward<E>(error)};
}

template <typename T, typename E>
class [[nodiscard]] Result {
 public:
  Result(T value) : data_(std::in_place_index<0>, std::move(value)) {}
  Result(Failure<E> failure) : data_(std::in_place_index<1>, std::move(failure.error)) {}

  bool Ok() const { return data_.index() == 0; }
  explicit operator bool() const { return Ok(); }

  T& Value() & {
    assert(Ok() && "Value() of a failed Result");
    return std::get<0>(data_);
  }
  const T& Value() const& {
    assert(Ok() && "Value() of a failed Result");
    return std::get<0>(data_);
  }
  T&& Value() && {
    assert(Ok() && "Value() of a failed Result");
    return std::get<0>(std::move(data_));
  }
  const E& Error() const {
    assert(!Ok() && "Error() of a successful Result");
    return std::get<1>(data_);
  }

 private:
  std::variant<T, E> data_;
};

// Result of an operation that yields nothing but may fail.
struct Done {};
template <typename E>
using Status = Result<Done, E>;
