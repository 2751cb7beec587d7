#pragma once

// The printf dialect that format checks assume: MinGW builds format with its own C99 printf
// (__USE_MINGW_ANSI_STDIO), not the old C runtime's that the plain name stands for there.
#if defined(__MINGW32__)
#include <stdio.h>
#define VELTRA_PRINTF_FORMAT __MINGW_PRINTF_FORMAT
#else
#define VELTRA_PRINTF_FORMAT printf
#endif
