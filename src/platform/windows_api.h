#pragma once

// <windows.h> for the tool's own Windows code. The header maps names such as CreateService or
// ReplaceFile to their -W functions by macro; the tool's interfaces use some of those names for
// their own members, so the macros go and the Windows code calls the -W functions by name.
#include <windows.h>

#undef CreateService
#undef OpenService
#undef PostMessage
#undef ReplaceFile
