#include "support/letter_case.h"

#include <locale.h>
#include <wctype.h>

namespace talvex {
namespace {

// A UTF-8 character-type locale of its own, so that the conversion does not
// depend on the user's locale settings. C.UTF-8 ships with glibc.
locale_t Utf8Locale() {
  static locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", nullptr);
  return locale;
}

}  // namespace

long MapLetterCase(long code, bool lower) {
  locale_t locale = Utf8Locale();
  if (locale == nullptr) return code;
  wint_t wide = static_cast<wint_t>(code);
  return static_cast<long>(lower ? towlower_l(wide, locale)
                                 : towupper_l(wide, locale));
}

}  // namespace talvex
