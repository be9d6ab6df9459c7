#include "support/letter_case.h"

#include <windows.h>

namespace talvex {

// The system's own mapping, independent of the user's locale. Characters
// outside the Basic Multilingual Plane have no case that matters in
// directory names and stay as they are.
long MapLetterCase(long code, bool lower) {
  if (code <= 0 || code > 0xFFFF || (code >= 0xD800 && code <= 0xDFFF)) {
    return code;
  }
  wchar_t unit = static_cast<wchar_t>(code);
  if (lower) {
    CharLowerBuffW(&unit, 1);
  } else {
    CharUpperBuffW(&unit, 1);
  }
  return static_cast<long>(unit);
}

}  // namespace talvex
