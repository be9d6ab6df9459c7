// The platform's case mapping of one Unicode character.
#pragma once

namespace talvex {

// The lower- (or upper-) case form of the code point; the code point
// itself when it has none.
long MapLetterCase(long code, bool lower);

}  // namespace talvex
