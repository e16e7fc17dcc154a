// The kernel-mode headers for C++ translation units of the driver.
#pragma once

// The DDK headers redefine two intrinsics that <intrin.h> already provides; they get other
// names while ntddk.h is read.
#include <intrin.h>
#define InterlockedBitTestAndSet DdkInterlockedBitTestAndSet
#define InterlockedBitTestAndReset DdkInterlockedBitTestAndReset
extern "C" {
#include <ntddk.h>
}
#undef InterlockedBitTestAndSet
#undef InterlockedBitTestAndReset

// "Duvd" as it reads in a pool dump (the tag is stored little-endian).
inline constexpr ULONG kPoolTag = 0x64767544;
