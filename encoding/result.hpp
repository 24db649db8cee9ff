// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <string>
#include <utility>

namespace tavik {

// Why something could not be done, in words for a "tavik-cli: " line or the log.
struct Failure {
    std::string why;
};

// A value, or the failure that left none: how the layers above the encoder report failures
// (the encoder and the link keep the integer results their interfaces have). C++20 has no
// std::expected; this is the small part of it the program needs.
template <typename T>
class [[nodiscard]] Result {
  public:
    Result(T value) : m_value(std::move(value)) {}  // NOLINT(google-explicit-constructor)
    Result(Failure failure)
        : m_error(std::move(failure.why)) {}  // NOLINT(google-explicit-constructor)

    bool ok() const { return m_value.has_value(); }
    explicit operator bool() const { return ok(); }
    const T& value() const { return *m_value; }
    T& value() { return *m_value; }
    // Empty when ok.
    const std::string& error() const { return m_error; }

  private:
    std::optional<T> m_value;
    std::string m_error;
};

template <>
class [[nodiscard]] Result<void> {
  public:
    Result() = default;
    Result(Failure failure)
        : m_ok(false), m_error(std::move(failure.why)) {}  // NOLINT(google-explicit-constructor)

    bool ok() const { return m_ok; }
    explicit operator bool() const { return ok(); }
    const std::string& error() const { return m_error; }

  private:
    bool m_ok = true;
    std::string m_error;
};

}  // namespace tavik
