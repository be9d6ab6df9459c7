// Whole value lists of attributes that the server hands out in ranges.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "directory/ldap_client.h"

namespace talvex {

// The range option of an attribute description as a server returns it
// ("member;range=0-1499": low 0, high 1499; "member;range=1500-*": last).
struct ValueRange {
  bool present = false;
  std::string baseName;  // the description without its range option
  long long low = 0;
  long long high = 0;  // meaningless when last
  bool last = false;
};

ValueRange ReadValueRange(std::string_view description);

// A Windows controller returns at most MaxValRange values (1,500 by
// default) of a multi-valued attribute per read, named
// "attr;range=0-1499"; the rest must be asked for with "attr;range=1500-*"
// and so on until the upper bound comes back as "*" (MS-ADTS 3.1.1.3.1.3.3).
// Reads the remaining ranges of every such attribute of the entry with base
// searches of the entry (sending the same server controls) and leaves each
// under its plain name with all its values, so that callers never act on a
// truncated list. Returns 0, or the code of a read that failed (a server
// that does not move on through the ranges gives the local-error code).
int CompleteRangedValues(LdapConnection& connection,
                         const std::vector<LdapControl>& serverControls,
                         LdapEntry* entry);

}  // namespace talvex
