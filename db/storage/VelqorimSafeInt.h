#pragma once
// Size, count and offset arithmetic of the storage engine: an overflow is the
// engine's error, never a wrapped value that would address the wrong bytes.

#include <type_traits>

#include "db/support/DAZExcept.h"

constexpr int VelqorimIntOverflowCode = 30700;

[[noreturn]] inline void RaiseIntOverflow() {
  throw EABSException(VelqorimIntOverflowCode, "Integer overflow in size or offset arithmetic");
}

// The result type is T, or the common type of the operands when T is not given.
#define VELQORIM_CHECKED_OP(Name, Builtin)                                              \
  template <class T = void, class A, class B>                                          \
  auto Name(A a, B b) {                                                                \
    using R = std::conditional_t<std::is_void_v<T>, std::common_type_t<A, B>, T>;      \
    static_assert(std::is_integral_v<R>);                                              \
    R r;                                                                               \
    if (Builtin(a, b, &r)) RaiseIntOverflow();                                         \
    return r;                                                                          \
  }
VELQORIM_CHECKED_OP(CheckedAdd, __builtin_add_overflow)
VELQORIM_CHECKED_OP(CheckedSub, __builtin_sub_overflow)
VELQORIM_CHECKED_OP(CheckedMul, __builtin_mul_overflow)
#undef VELQORIM_CHECKED_OP
