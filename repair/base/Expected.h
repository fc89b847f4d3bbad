#pragma once

#include "RepairFailure.h"

#include <optional>
#include <utility>
#include <variant>

// A value, or the failure that took its place. True when it holds the value.
template <typename T> class [[nodiscard]] Expected
{
public:
    Expected(const T &value) : m_content(value) {}
    Expected(T &&value) : m_content(std::move(value)) {}
    Expected(const RepairFailure &failure) : m_content(failure) {}

    bool hasValue() const { return m_content.index() == 0; }
    explicit operator bool() const { return hasValue(); }

    T &operator*() { return std::get<0>(m_content); }
    const T &operator*() const { return std::get<0>(m_content); }
    T *operator->() { return &std::get<0>(m_content); }
    const T *operator->() const { return &std::get<0>(m_content); }
    const RepairFailure &failure() const { return std::get<1>(m_content); }

private:
    std::variant<T, RepairFailure> m_content;
};

// Nothing, or the failure that stopped it.
template <> class [[nodiscard]] Expected<void>
{
public:
    Expected() = default;
    Expected(const RepairFailure &failure) : m_failure(failure) {}

    bool hasValue() const { return !m_failure; }
    explicit operator bool() const { return hasValue(); }
    const RepairFailure &failure() const { return *m_failure; }

private:
    std::optional<RepairFailure> m_failure;
};
