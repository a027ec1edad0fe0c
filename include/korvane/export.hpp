// KORVANE_SMPP_API marks what the shared library exports: the library is
// built with hidden symbols, so everything else in it stays private. On ELF
// the same attribute serves building the library and using it.
#pragma once

#if defined(__GNUC__) || defined(__clang__)
#define KORVANE_SMPP_API __attribute__((visibility("default")))
#else
#define KORVANE_SMPP_API
#endif
