// Whole value lists of attributes that the server hands out in ranges.
#pragma once

#include <cstddef>
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

// How far the ranges of one attribute are followed before the server is
// taken to be sending them without end.
struct RangeReadLimits {
  std::size_t values = 0;
  int reads = 0;
};

// The longest value list a real domain holds is a group's membership:
// Windows 2000 advised at most 5,000 members, later versions set no limit
// (linked value replication). Five million values is a thousand times that,
// and its DNs still fit in memory. At AD's default MaxValRange of 1,500
// they take 3,334 reads; 100,000 reads still allow a MaxValRange lowered to
// 50, and a server that answers one value at a time is stopped within
// minutes rather than never.
inline constexpr RangeReadLimits kRangeReadLimits{.values = 5'000'000,
                                                  .reads = 100'000};

// A Windows controller returns at most MaxValRange values (1,500 by
// default) of a multi-valued attribute per read, named
// "attr;range=0-1499"; the rest must be asked for with "attr;range=1500-*"
// and so on until the upper bound comes back as "*" (MS-ADTS 3.1.1.3.1.3.3).
// Reads the remaining ranges of every such attribute of the entry with base
// searches of the entry (sending the same server controls) and leaves each
// under its plain name with all its values, so that callers never act on a
// truncated list. Returns 0, or the code of a read that failed. A server
// whose ranges do not move on, or go on past the limits, gets a report
// naming the attribute and the entry (ReportServerFault) and the
// local-error code.
int CompleteRangedValues(LdapConnection& connection,
                         const std::vector<LdapControl>& serverControls,
                         LdapEntry* entry,
                         const RangeReadLimits& limits = kRangeReadLimits);

}  // namespace talvex
