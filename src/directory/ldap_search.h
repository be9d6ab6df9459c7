// Reading from the directory: one entry, a paged search, or just a DN.
#pragma once

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "directory/ldap_client.h"
#include "directory/record_set.h"

namespace talvex {

// Server controls by keyword ("SHOWDEL", "EXTNAME", ...) to value.
using ControlMap = std::map<std::string, std::string>;
using AttributeSet = std::set<std::string>;

// How a paged search reads: entries per page (0: the server's own paging
// is not asked for), time limit in seconds and total size limit (0: none).
struct SearchPaging {
  int pageSize = 0;
  int timeLimitSeconds = 0;
  int sizeLimit = 0;
};

// Reads exactly one entry into *record (size limit 1). The filter is given
// without its outer parentheses; scope is a keyword text ("base", "one",
// "" or anything else for subtree). Returns the LDAP result code.
int LdapGetRec(LdapConnection& connection, const std::string& base,
               const std::string& scope, const std::string& filter,
               const AttributeSet& attributes, const ControlMap& controls,
               Record* record);

// Paged search; appends one record per entry to *records. Returns the LDAP
// result code (0 when every page was read).
int LdapGetRecs(LdapConnection& connection, const std::string& base,
                const std::string& scope, const std::string& filter,
                const AttributeSet& attributes, const ControlMap& controls,
                const SearchPaging& paging, RecordSet* records);

// Sends the first request of the LdapGetRecs (or LdapGetRecPages) call
// with the same arguments that the run is certain to make next, and does
// not wait for its answer: requests that do not depend on each other then
// travel together instead of costing a round trip each over a slow link.
// That call takes the answer (see LdapConnection::SendAhead); it prints its
// debug lines then, as always. Prints nothing itself.
void LdapSendAhead(LdapConnection& connection, const std::string& base,
                   const std::string& scope, const std::string& filter,
                   const AttributeSet& attributes, const ControlMap& controls,
                   const SearchPaging& paging);

// The same for the LdapGetRec call with these arguments.
void LdapSendAheadRec(LdapConnection& connection, const std::string& base,
                      const std::string& scope, const std::string& filter,
                      const AttributeSet& attributes,
                      const ControlMap& controls);

// Receives the records of one page of a paged search, in server order; it
// may take them (move them out), the page is dropped afterwards.
using RecordPageHandler = std::function<void(RecordSet& page)>;

// LdapGetRecs that hands each page's records to onPage as the page arrives
// instead of keeping them, so that a large result is never held whole.
// Same request, result code and debug lines as LdapGetRecs.
int LdapGetRecPages(LdapConnection& connection, const std::string& base,
                    const std::string& scope, const std::string& filter,
                    const AttributeSet& attributes, const ControlMap& controls,
                    const SearchPaging& paging,
                    const RecordPageHandler& onPage);

// Receives the entries of one page of a paged search, in server order, as
// LdapGetRecPages would make them records: the DN on one line, the values as
// text. It may take them (move them out); the page is dropped afterwards.
using EntryPageHandler = std::function<void(std::vector<LdapEntry>& page)>;

// LdapGetRecPages without the records: for a caller that turns thousands of
// entries into something of its own, which a record of every entry would
// only cost time. Same request, result code and debug lines.
int LdapGetEntryPages(LdapConnection& connection, const std::string& base,
                      const std::string& scope, const std::string& filter,
                      const AttributeSet& attributes,
                      const ControlMap& controls, const SearchPaging& paging,
                      const EntryPageHandler& onPage);

// The attribute list of a search request (every name of the set, in set
// order); prints the names at debug level 5.
std::vector<std::string> SetLDAPAttribs(const AttributeSet& attributes);

// The DN of the first entry matching the filter, or "" (also on failure).
std::string GetDN(LdapConnection& connection, const std::string& base,
                  const std::string& scope, const std::string& filter);
// The same search, also reading the named attributes of that entry into
// *entry (converted as LdapGetRec converts them; left empty when no DN comes
// back), so that a caller needing a fact of the object asks once. Its debug
// lines are those of GetDN.
std::string GetDN(LdapConnection& connection, const std::string& base,
                  const std::string& scope, const std::string& filter,
                  const std::vector<std::string>& attributes, Record* entry);

// Sends the search of the GetDN call with these arguments ahead (see
// LdapSendAhead); attributes as for the GetDN that reads them too.
void GetDnSendAhead(LdapConnection& connection, const std::string& base,
                    const std::string& scope, const std::string& filter,
                    const std::vector<std::string>& attributes = {});

// Whether searches print their parameters (debug level 5 and up). A caller
// that folds a second search into the first keeps them apart then, so that
// the debug lines still show each search.
bool SearchParametersShown();

}  // namespace talvex
