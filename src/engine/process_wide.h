// The mark of process-wide state: a type that ProcessState::Shared keeps,
// one instance per process state, made on first use. Only state that a fresh
// run must not inherit takes the mark; the declaration says, in one line,
// what a fresh state starts with.
#pragma once

#include <concepts>

namespace mf {

struct ProcessWide {};

template <class T>
concept ProcessWideState = std::derived_from<T, ProcessWide> && std::default_initializable<T>;

}  // namespace mf
