#pragma once

#include <string>

namespace ornavel::platform::win32 {

// A short reason in Russian for a Windows error code (GetLastError), ready to follow the name of
// what failed.
std::string ReasonFromSystemError(unsigned long error);

// The same for a result of the picture codecs, in words (never a bare code); system errors
// carried in an HRESULT get their own reason.
std::string ReasonFromResult(long result);

}  // namespace ornavel::platform::win32
