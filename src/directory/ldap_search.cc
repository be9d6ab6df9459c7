#include "directory/ldap_search.h"

#include <algorithm>
#include <set>
#include <utility>

#include "directory/distinguished_name.h"
#include "directory/ldap_error_report.h"
#include "directory/ldap_filter.h"
#include "directory/ranged_values.h"
#include "directory/search_controls.h"
#include "directory/value_conversion.h"
#include "support/output.h"
#include "support/text_case.h"

namespace talvex {
namespace {

constexpr int kParameterDebugLevel = 5;

bool ShowParameters() { return Output().debugLevel >= kParameterDebugLevel; }

// Scope keywords: any text holding "base" is a base search (whose filter
// becomes "(objectclass=*)" when replaceBaseFilter); "one" anywhere makes it
// one-level, also after "base"; everything else is a subtree search.
LdapScope ReadScope(const std::string& scope, std::string* filter,
                    bool replaceBaseFilter) {
  LdapScope result = LdapScope::kSubtree;
  if (scope.empty()) return result;
  std::string lower = LowerCase(scope);
  if (lower.find("base") != std::string::npos) {
    result = LdapScope::kBase;
    if (replaceBaseFilter) *filter = "(objectclass=*)";
  }
  if (lower.find("one") != std::string::npos) result = LdapScope::kOneLevel;
  return result;
}

// Windows sends a filter as written; libldap needs its strict form.
std::string FilterToSend(const LdapConnection& connection,
                         const std::string& filter) {
  return connection.NeedsStrictFilters() ? NormalizeFilter(filter) : filter;
}

// The request both LdapGetRec and LdapGetRecs send. show: print its
// parameters at debug level 5 (not for a request sent ahead, whose lines
// come with the call that takes its answer).
LdapSearchRequest PrepareRequest(const LdapConnection& connection,
                                 const std::string& base,
                                 const std::string& scope,
                                 const std::string& filter,
                                 const AttributeSet& attributes,
                                 const ControlMap& controls, bool show = true) {
  if (show && ShowParameters()) {
    PrintDebugLine("LdapGetRec:");
    PrintDebugLine("       Base  : " + base);
    PrintDebugLine("       Scope : " + scope);
    PrintDebugLine("       Filter: " + filter);
  }
  LdapSearchRequest request;
  request.base = base;
  std::string wrapped = "(" + filter + ")";
  request.scope = ReadScope(scope, &wrapped, true);
  request.filter = FilterToSend(connection, wrapped);
  if (!controls.empty()) request.serverControls = SetLDAPControls(controls);
  if (!attributes.empty()) {
    request.attributes = show ? SetLDAPAttribs(attributes)
                              : std::vector<std::string>(attributes.begin(),
                                                         attributes.end());
  }
  return request;
}

// The request of LdapGetRec: the prepared one for one entry.
LdapSearchRequest PrepareRecRequest(const LdapConnection& connection,
                                    const std::string& base,
                                    const std::string& scope,
                                    const std::string& filter,
                                    const AttributeSet& attributes,
                                    const ControlMap& controls, bool show) {
  LdapSearchRequest request = PrepareRequest(connection, base, scope, filter,
                                             attributes, controls, show);
  request.sizeLimit = 1;
  return request;
}

// The request of a paged search: the prepared one with the paging's limits.
LdapSearchRequest PreparePagedRequest(
    const LdapConnection& connection, const std::string& base,
    const std::string& scope, const std::string& filter,
    const AttributeSet& attributes, const ControlMap& controls,
    const SearchPaging& paging, bool show) {
  LdapSearchRequest request = PrepareRequest(connection, base, scope, filter,
                                             attributes, controls, show);
  request.timeLimitSeconds = paging.timeLimitSeconds;
  request.sizeLimit = paging.sizeLimit;
  return request;
}

// The entry is not needed afterwards: its names and text values move
// into the record instead of being copied.
Record ToRecord(LdapEntry& entry) {
  Record record;
  record[kDnKey] = {std::move(entry.dn)};
  for (LdapAttribute& attribute : entry.attributes) {
    // A name the entry carries twice keeps its last values.
    record.insert_or_assign(std::move(attribute.name),
                            std::move(attribute.values));
  }
  return record;
}

void ReplaceFirst(std::string* text, const std::string& from) {
  std::size_t at = text->find(from);
  if (at != std::string::npos) text->replace(at, from.size(), "\\0A");
}

// The name of a deleted object carries a line feed (before "DEL:"); shown
// escaped, it stays on one line.
std::string OneLineDn(std::string dn) {
  ReplaceFirst(&dn, "\\\n");
  ReplaceFirst(&dn, "\n");
  return dn;
}

// The DN of an entry without the "<GUID=...>;<SID=...>;" of the extended
// DN form.
std::string_view PlainDn(std::string_view dn) {
  while (!dn.empty() && dn.front() == '<') {
    std::size_t end = dn.find(">;");
    if (end == std::string_view::npos) break;
    dn.remove_prefix(end + 2);
  }
  return dn;
}

// The entry as the search's callers see it: its DN on one line and its
// values as text.
void ConvertEntry(LdapEntry* entry, SearchValueConverter& converter) {
  entry->dn = OneLineDn(std::move(entry->dn));
  for (std::size_t i = 0; i < entry->attributes.size(); ++i) {
    LdapAttribute& attribute = entry->attributes[i];
    converter.Convert(i, attribute.name, &attribute.values);
  }
}

// Whether the DN is the base itself or ends in ",<base>" with an unescaped
// comma (an even run of backslashes before it), compared without regard to
// ASCII case: then it names the base or an object below it, whatever the
// rest holds. Most entries of a subtree search are told so without parsing
// either DN; any other text is left to the parse.
bool PlainlyBelow(std::string_view dn, std::string_view base) {
  if (dn.size() == base.size()) return EqualsIgnoringAsciiCase(dn, base);
  if (dn.size() < base.size() + 2) return false;
  std::size_t comma = dn.size() - base.size() - 1;
  if (dn[comma] != ',' ||
      !EqualsIgnoringAsciiCase(dn.substr(comma + 1), base)) {
    return false;
  }
  std::size_t backslashes = 0;
  while (backslashes < comma && dn[comma - 1 - backslashes] == '\\')
    ++backslashes;
  return backslashes % 2 == 0;
}

// Whether the entry lies where the search asked: the base itself, a child
// of it, or anything below it, by scope. An honest server never answers
// with anything else (continuations into other partitions come as
// references, which are skipped); an entry from outside is a lie that must
// not reach a listing, let alone a write. A base the server resolves itself
// ("" for the RootDSE or a global catalog's whole forest, "<GUID=...>")
// cannot be checked here. base: the request's base, parsed.
bool WithinBase(std::string_view dn, const LdapSearchRequest& request,
                const DistinguishedName& base) {
  if (request.scope == LdapScope::kSubtree &&
      PlainlyBelow(PlainDn(dn), request.base)) {
    return true;
  }
  DistinguishedName entry;
  if (!DistinguishedName::Parse(PlainDn(dn), &entry)) return false;
  std::size_t depth = base.rdns().size();
  std::size_t levels = entry.rdns().size();
  if (levels < depth) return false;
  switch (request.scope) {
    case LdapScope::kBase:
      if (levels != depth) return false;
      break;
    case LdapScope::kOneLevel:
      if (levels != depth + 1) return false;
      break;
    case LdapScope::kSubtree:
      break;
  }
  std::string suffix;
  for (std::size_t i = levels - depth; i < levels; ++i) {
    if (!suffix.empty()) suffix += ',';
    suffix += entry.rdns()[i].text;
  }
  return SameDn(suffix, request.base);
}

// Drops the entries from outside the search's base, and says so once per
// search, when it ends.
class OutsideEntries {
 public:
  explicit OutsideEntries(const LdapSearchRequest& request)
      : request_(request),
        checked_(!request.base.empty() && request.base.front() != '<' &&
                 DistinguishedName::Parse(request.base, &base_)) {}
  // Removes the entries outside the base from the page.
  void Drop(std::vector<LdapEntry>* entries) {
    if (!checked_) return;
    auto outside = [this](const LdapEntry& entry) {
      if (WithinBase(entry.dn, request_, base_)) return false;
      if (count_++ == 0) first_ = entry.dn;
      return true;
    };
    entries->erase(std::remove_if(entries->begin(), entries->end(), outside),
                   entries->end());
  }
  void Report(LdapConnection& connection) const {
    if (count_ == 0) return;
    ReportServerWarning(
        "The server " + connection.HostName() + " answered the search of " +
        request_.filter + " under \"" + request_.base + "\" with " +
        std::to_string(count_) + (count_ == 1 ? " entry" : " entries") +
        " from outside it, left out: \"" + first_ + "\"" +
        (count_ == 1 ? "" : " and others") + ".");
  }

 private:
  const LdapSearchRequest& request_;
  DistinguishedName base_;
  // Whether the base is one this side can check (see WithinBase).
  bool checked_;
  long long count_ = 0;
  std::string first_;
};

// Tells a paged search that moves on from one that never ends. Samba sends
// one cookie for every page of a search (its paged_results module names
// the stored result set, not the position in it), so a cookie seen before
// is a fault only together with a page the search has had: the same first
// entry, or none, under the same cookie. A page without entries but with a
// cookie can be honest (a server may run out of time for a page before it
// finds a match); a hundred of them in a row is no longer a search that
// moves on.
class PagingProgress {
 public:
  // What is wrong with the page ("" when it moves the search on).
  std::string Check(const std::string& cookie,
                    const std::vector<LdapEntry>& entries) {
    // Pages without entries are told by their run below: a client whose
    // library hides the cookie (Windows hands over a placeholder) would
    // otherwise take two honest empty pages in a row for one sent twice.
    if (!entries.empty() &&
        !seen_.emplace(cookie, entries.front().dn).second) {
      return "sent a page it had sent before (the same paging cookie)";
    }
    emptyRun_ = entries.empty() ? emptyRun_ + 1 : 0;
    if (emptyRun_ == kMaxEmptyPages) {
      return "sent " + std::to_string(kMaxEmptyPages) +
             " pages without entries in a row";
    }
    return std::string();
  }

 private:
  static constexpr int kMaxEmptyPages = 100;
  std::set<std::pair<std::string, std::string>> seen_;
  int emptyRun_ = 0;
};

}  // namespace

std::vector<std::string> SetLDAPAttribs(const AttributeSet& attributes) {
  if (ShowParameters()) PrintDebugLine("SetLDAPAttribs");
  std::vector<std::string> names;
  for (const auto& name : attributes) {
    if (ShowParameters()) PrintDebugLine("     " + name);
    names.push_back(name);
  }
  return names;
}

int LdapGetRec(LdapConnection& connection, const std::string& base,
               const std::string& scope, const std::string& filter,
               const AttributeSet& attributes, const ControlMap& controls,
               Record* record) {
  LdapSearchRequest request =
      PrepareRecRequest(connection, base, scope, filter, attributes, controls,
                        /*show=*/true);
  std::vector<LdapEntry> entries;
  std::string cookie;
  int code = connection.Search(request, 0, &cookie, &entries);
  if (code != ldap_result::kSuccess) return code;
  OutsideEntries outside(request);
  outside.Drop(&entries);
  outside.Report(connection);
  // A search that matched nothing has no entry to read: the object the
  // caller asked for is not there.
  if (entries.empty()) return ldap_result::kNoSuchObject;
  LdapEntry& entry = entries.front();
  code = CompleteRangedValues(connection, request.serverControls, &entry);
  if (code != ldap_result::kSuccess) return code;
  (*record)[kDnKey] = {entry.dn};
  for (auto& attribute : entry.attributes) {
    (*record)[attribute.name] =
        ConvertAttributeValues(attribute.name, std::move(attribute.values));
  }
  return ldap_result::kSuccess;
}

int LdapGetRecs(LdapConnection& connection, const std::string& base,
                const std::string& scope, const std::string& filter,
                const AttributeSet& attributes, const ControlMap& controls,
                const SearchPaging& paging, RecordSet* records) {
  return LdapGetRecPages(connection, base, scope, filter, attributes, controls,
                         paging, [records](RecordSet& page) {
                           for (Record& record : page) {
                             records->push_back(std::move(record));
                           }
                         });
}

int LdapGetRecPages(LdapConnection& connection, const std::string& base,
                    const std::string& scope, const std::string& filter,
                    const AttributeSet& attributes, const ControlMap& controls,
                    const SearchPaging& paging,
                    const RecordPageHandler& onPage) {
  RecordSet page;
  return LdapGetEntryPages(
      connection, base, scope, filter, attributes, controls, paging,
      [&](std::vector<LdapEntry>& entries) {
        page.clear();
        page.reserve(entries.size());
        for (LdapEntry& entry : entries) {
          page.push_back(ToRecord(entry));
          // What the move left of the entry goes now, not with the page: a
          // server that sends far more than a page must not cost the
          // entries twice over.
          entry = LdapEntry{};
        }
        onPage(page);
        page.clear();
      });
}

int LdapGetEntryPages(LdapConnection& connection, const std::string& base,
                      const std::string& scope, const std::string& filter,
                      const AttributeSet& attributes,
                      const ControlMap& controls, const SearchPaging& paging,
                      const EntryPageHandler& onPage) {
  LdapSearchRequest request =
      PreparePagedRequest(connection, base, scope, filter, attributes,
                          controls, paging, /*show=*/true);

  // Paged, so that large domains are read in pieces: page after page until
  // the server's cookie comes back empty. A page that fails ends the walk
  // with its code (also the first one: a search that cannot be started is
  // a failure, not an empty result); the pages handed over so far stay
  // with the caller.
  int count = 0;
  int code = ldap_result::kSuccess;
  std::string cookie;
  std::vector<LdapEntry> entries;
  SearchValueConverter converter;
  PagingProgress progress;
  OutsideEntries outside(request);
  do {
    entries.clear();
    code = connection.Search(request, paging.pageSize, &cookie, &entries);
    outside.Drop(&entries);
    if (code == ldap_result::kSuccess && paging.pageSize > 0 &&
        !cookie.empty()) {
      std::string fault = progress.Check(cookie, entries);
      if (!fault.empty()) {
        ReportServerFault("The server " + connection.HostName() + " " + fault +
                          " for the search of " + request.filter + " under \"" +
                          request.base + "\"; the search is given up.");
        code = ldap_result::kLocalError;
      }
    }
    if (code == ldap_result::kSuccess ||
        code == ldap_result::kSizeLimitExceeded) {
      std::size_t kept = 0;
      for (LdapEntry& entry : entries) {
        // An attribute with more values than the server hands out at once
        // is completed before the entry is kept; a failure ends the search
        // after this page, so no caller acts on a cut list.
        int rangeCode =
            CompleteRangedValues(connection, request.serverControls, &entry);
        if (rangeCode != ldap_result::kSuccess) {
          code = rangeCode;
          break;
        }
        ++count;
        ++kept;
        ConvertEntry(&entry, converter);
      }
      entries.resize(kept);
      onPage(entries);
      connection.Recycle(&entries);
    }
  } while (code == ldap_result::kSuccess && paging.pageSize > 0 &&
           !cookie.empty());
  // The end of the results is success when it comes as its own code.
  if (code == ldap_result::kNoResultsReturned) code = ldap_result::kSuccess;
  outside.Report(connection);

  if (ShowParameters()) {
    PrintDebugLine("Exiting LdapGetRecs - " + std::to_string(count) + " - " +
                   std::to_string(code));
  }
  return code;
}

void LdapSendAhead(LdapConnection& connection, const std::string& base,
                   const std::string& scope, const std::string& filter,
                   const AttributeSet& attributes, const ControlMap& controls,
                   const SearchPaging& paging) {
  connection.SendAhead(
      PreparePagedRequest(connection, base, scope, filter, attributes,
                          controls, paging, /*show=*/false),
      paging.pageSize);
}

void LdapSendAheadRec(LdapConnection& connection, const std::string& base,
                      const std::string& scope, const std::string& filter,
                      const AttributeSet& attributes,
                      const ControlMap& controls) {
  connection.SendAhead(PrepareRecRequest(connection, base, scope, filter,
                                         attributes, controls,
                                         /*show=*/false),
                       0);
}

bool SearchParametersShown() { return ShowParameters(); }

std::string GetDN(LdapConnection& connection, const std::string& base,
                  const std::string& scope, const std::string& filter) {
  return GetDN(connection, base, scope, filter, {}, nullptr);
}

namespace {

// The request of GetDN. show: print its parameters at debug level 5.
LdapSearchRequest PrepareDnRequest(const LdapConnection& connection,
                                   const std::string& base,
                                   const std::string& scope,
                                   const std::string& filter,
                                   const std::vector<std::string>& attributes,
                                   bool show) {
  std::string wrapped = filter;
  if (wrapped.empty() || wrapped.front() != '(') wrapped = "(" + wrapped + ")";
  if (show && ShowParameters()) {
    PrintDebugLine("GetDN");
    PrintDebugLine("   Base  : " + base);
    PrintDebugLine("   Scope : " + scope);
    PrintDebugLine("   Filter: " + wrapped);
  }
  LdapSearchRequest request;
  request.base = base;
  request.scope = ReadScope(scope, &wrapped, false);
  request.filter = FilterToSend(connection, wrapped);
  request.attributes = {"distinguishedName"};
  request.attributes.insert(request.attributes.end(), attributes.begin(),
                            attributes.end());
  return request;
}

}  // namespace

void GetDnSendAhead(LdapConnection& connection, const std::string& base,
                    const std::string& scope, const std::string& filter,
                    const std::vector<std::string>& attributes) {
  connection.SendAhead(PrepareDnRequest(connection, base, scope, filter,
                                        attributes, /*show=*/false),
                       0);
}

std::string GetDN(LdapConnection& connection, const std::string& base,
                  const std::string& scope, const std::string& filter,
                  const std::vector<std::string>& attributes, Record* entry) {
  LdapSearchRequest request = PrepareDnRequest(connection, base, scope, filter,
                                               attributes, /*show=*/true);
  std::vector<LdapEntry> entries;
  std::string cookie;
  int code = connection.Search(request, 0, &cookie, &entries);
  if (code != ldap_result::kSuccess) {
    if (ShowParameters()) {
      PrintDebugLine("Failure in ldap_search_sW: " + std::to_string(code));
    }
    return std::string();
  }
  OutsideEntries outside(request);
  outside.Drop(&entries);
  outside.Report(connection);
  std::string dn;
  if (!entries.empty()) {
    for (const auto& attribute : entries.front().attributes) {
      if (LowerCase(attribute.name) == "distinguishedname" &&
          !attribute.values.empty()) {
        dn = attribute.values.front();
        break;
      }
    }
  }
  if (entry != nullptr && !dn.empty()) {
    (*entry)[kDnKey] = {dn};
    for (auto& attribute : entries.front().attributes) {
      (*entry)[attribute.name] =
          ConvertAttributeValues(attribute.name, std::move(attribute.values));
    }
  }
  if (ShowParameters()) PrintDebugLine("DN returned: " + dn);
  return dn;
}

}  // namespace talvex
