#include "directory/ranged_values.h"

#include <charconv>
#include <utility>

#include "directory/ldap_error_report.h"
#include "support/text_case.h"

namespace talvex {
namespace {

constexpr std::string_view kRangeOption = ";range=";

// Where ";range=" starts in an attribute description, in any letter case.
// Descriptions are ASCII (RFC 4512 2.5), and every attribute of every entry
// is looked at, so no lower-cased copy is made.
std::size_t FindRangeOption(std::string_view description) {
  for (std::size_t at = description.find(';'); at != std::string_view::npos;
       at = description.find(';', at + 1)) {
    if (EqualsIgnoringAsciiCase(description.substr(at, kRangeOption.size()),
                                kRangeOption)) {
      return at;
    }
  }
  return std::string_view::npos;
}

bool ReadNumber(std::string_view text, long long* value) {
  if (text.empty()) return false;
  auto [end, error] =
      std::from_chars(text.data(), text.data() + text.size(), *value);
  return error == std::errc() && end == text.data() + text.size() &&
         *value >= 0;
}

// The values of the entry's attribute whose description, without its range
// option, is baseName; null when the entry lacks it.
LdapAttribute* FindRanged(LdapEntry& entry, const std::string& baseName,
                          ValueRange* range) {
  for (LdapAttribute& attribute : entry.attributes) {
    ValueRange found = ReadValueRange(attribute.name);
    const std::string& name = found.present ? found.baseName : attribute.name;
    if (!EqualsIgnoringAsciiCase(name, baseName)) continue;
    if (!found.present) {
      found.baseName = attribute.name;
      found.last = true;  // all values at once
    }
    *range = std::move(found);
    return &attribute;
  }
  return nullptr;
}

std::string RangeText(const ValueRange& range) {
  return std::to_string(range.low) + "-" +
         (range.last ? std::string("*") : std::to_string(range.high));
}

// Reads the ranges after `range` of one attribute into *values.
int ReadRemainingRanges(LdapConnection& connection,
                        const std::vector<LdapControl>& serverControls,
                        const std::string& dn, ValueRange range,
                        const RangeReadLimits& limits,
                        std::vector<std::string>* values) {
  int reads = 0;
  while (!range.last) {
    const long long next = range.high + 1;
    if (reads == limits.reads || values->size() > limits.values) {
      ReportServerFault(
          "The server " + connection.HostName() + " sent more than " +
          (reads == limits.reads ? std::to_string(limits.reads) + " ranges"
                                 : std::to_string(limits.values) + " values") +
          " of " + range.baseName + " of " + dn +
          " without coming to the last; the values are not read further.");
      return ldap_result::kLocalError;
    }
    ++reads;
    LdapSearchRequest request;
    request.base = dn;
    request.scope = LdapScope::kBase;
    request.filter = "(objectClass=*)";
    request.attributes = {range.baseName + ";range=" + std::to_string(next) +
                          "-*"};
    request.serverControls = serverControls;
    std::vector<LdapEntry> entries;
    std::string cookie;
    int code = connection.Search(request, 0, &cookie, &entries);
    if (code != ldap_result::kSuccess) return code;
    ValueRange answered;
    LdapAttribute* attribute =
        entries.empty()
            ? nullptr
            : FindRanged(entries.front(), range.baseName, &answered);
    // No values left: the attribute shrank since the first read.
    if (attribute == nullptr) return ldap_result::kSuccess;
    // Following such a range would read the same values again, for ever.
    if ((answered.present && answered.low != next) ||
        (!answered.last && answered.high < next)) {
      ReportServerFault("The server " + connection.HostName() +
                        " answered the read of the values " +
                        std::to_string(next) + "-* of " + range.baseName +
                        " of " + dn + " with the values " +
                        RangeText(answered) +
                        "; ranges that do not move on are not followed.");
      return ldap_result::kLocalError;
    }
    for (std::string& value : attribute->values)
      values->push_back(std::move(value));
    range = std::move(answered);
  }
  return ldap_result::kSuccess;
}

}  // namespace

ValueRange ReadValueRange(std::string_view description) {
  ValueRange range;
  const std::size_t at = FindRangeOption(description);
  if (at == std::string_view::npos) return range;
  const std::size_t valueStart = at + kRangeOption.size();
  std::size_t valueEnd = description.find(';', valueStart);
  if (valueEnd == std::string_view::npos) valueEnd = description.size();
  const std::string_view value =
      description.substr(valueStart, valueEnd - valueStart);
  const std::size_t dash = value.find('-');
  if (dash == std::string_view::npos) return range;
  if (!ReadNumber(value.substr(0, dash), &range.low)) return range;
  const std::string_view high = value.substr(dash + 1);
  if (high == "*") {
    range.last = true;
  } else if (!ReadNumber(high, &range.high) || range.high < range.low) {
    return range;
  }
  range.present = true;
  range.baseName = std::string(description.substr(0, at)) +
                   std::string(description.substr(valueEnd));
  return range;
}

int CompleteRangedValues(LdapConnection& connection,
                         const std::vector<LdapControl>& serverControls,
                         LdapEntry* entry, const RangeReadLimits& limits) {
  for (LdapAttribute& attribute : entry->attributes) {
    ValueRange range = ReadValueRange(attribute.name);
    if (!range.present) continue;
    attribute.name = range.baseName;
    int code = ReadRemainingRanges(connection, serverControls, entry->dn,
                                   std::move(range), limits, &attribute.values);
    if (code != ldap_result::kSuccess) return code;
  }
  return ldap_result::kSuccess;
}

}  // namespace talvex
