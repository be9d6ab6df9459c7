#include "operations/applied_members.h"

#include "directory/distinguished_name.h"
#include "directory/ldap_filter.h"
#include "directory/ldap_search.h"
#include "directory/record_set.h"
#include "support/text_case.h"

namespace talvex {
namespace {

constexpr std::size_t kTypeFieldWidth = 18;
constexpr int kPageSize = 100;
// Up to this many PSOs are asked for by name; beyond, every object that
// any PSO applies to is read, which costs one walk of those objects
// however many PSOs are listed.
constexpr std::size_t kPsosAskedByName = 20;

char ResultantFlag(const Record& member, const std::string& psoDn) {
  std::optional<bool> resultant = ResultantIsPso(member, psoDn);
  if (!resultant) return ' ';
  return *resultant ? '+' : '-';
}

std::string TypeField(const Record& member) {
  const std::vector<std::string>* classes =
      FindAttribute(member, "objectClass");
  // The server lists the classes from the most general to the most specific.
  std::string field = "[";
  if (classes != nullptr && !classes->empty()) field += classes->back();
  field += "]";
  if (field.size() < kTypeFieldWidth)
    field.append(kTypeFieldWidth - field.size(), ' ');
  return field;
}

}  // namespace

PsoSubject Subject(const Record& member) {
  const std::vector<std::string>* classes =
      FindAttribute(member, "objectClass");
  return ClassifyPsoSubject(classes ? *classes : std::vector<std::string>(),
                            FirstAttributeValue(member, "groupType"));
}

bool TakesEffect(const Record& member) {
  const PsoSubject subject = Subject(member);
  return !subject.isGroup || subject.takesEffect;
}

std::optional<bool> ResultantIsPso(const Record& member,
                                   const std::string& psoDn) {
  const std::vector<std::string>* resultant =
      FindAttribute(member, "msDS-ResultantPSO");
  if (resultant == nullptr || resultant->empty()) return std::nullopt;
  return SameDn(resultant->front(), psoDn);
}

std::string FormatMemberLine(const Record& member, const std::string& psoDn) {
  std::string line(1, ResultantFlag(member, psoDn));
  line += TypeField(member);
  line += " ";
  line += FirstValue(member, kDnKey);
  std::string account = FirstAttributeValue(member, "sAMAccountName");
  if (!account.empty()) {
    line += "  (" + account;
    std::string upn = FirstAttributeValue(member, "userPrincipalName");
    if (!upn.empty()) line += " | " + upn;
    line += ")";
  }
  if (FindAttribute(member, "member") != nullptr)
    line += " ***Nesting Detected***";
  if (!TakesEffect(member))
    line += " ***No Effect: " + Subject(member).kind + "***";
  return line;
}

namespace {

// The DN is escaped like any assertion value: a PSO named "a*" or "a(b)"
// must match itself, not act as a wildcard or break the filter.
std::string AppliedFilter(const std::vector<std::string>& psoDns) {
  if (psoDns.size() > kPsosAskedByName) return "(msDS-PSOApplied=*)";
  std::string terms;
  for (const std::string& dn : psoDns) {
    terms +=
        "(msDS-PSOApplied=" + EscapeFilterValue(dn, /*keepWildcard=*/false) +
        ")";
  }
  return psoDns.size() == 1 ? terms : "(|" + terms + ")";
}

// Walks the objects that the PSOs of psoDns apply to with one paged search
// and hands each (object, PSO it is filed under) pair to file.
using FileMember = std::function<void(
    const Record& member, const std::string& psoKey, const std::string& psoDn)>;

int WalkAppliedMembers(LdapConnection& connection,
                       const std::string& searchBase,
                       const std::vector<std::string>& psoDns,
                       const FileMember& file,
                       const AppliedProgress& progress,
                       const AttributeSet& extraAttributes = {}) {
  if (psoDns.empty()) return 0;
  // Lower-cased DN of each PSO asked for, to the DN as given, for the
  // resultant flag.
  std::map<std::string, const std::string*> wanted;
  for (const std::string& dn : psoDns) wanted.emplace(LowerCase(dn), &dn);
  static const AttributeSet kAttributes = {
      "objectClass",       "samaccountname",  "userprincipalname", "member",
      "msDS-ResultantPSO", "msDS-PSOApplied", "groupType"};
  AttributeSet attributes = kAttributes;
  attributes.insert(extraAttributes.begin(), extraAttributes.end());
  std::size_t read = 0;
  return LdapGetRecPages(
      connection, searchBase, "subtree", AppliedFilter(psoDns), attributes,
      ControlMap(), {.pageSize = kPageSize}, [&](RecordSet& page) {
        for (const Record& member : page) {
          // Asked for one PSO by name, the server's match says it all.
          if (psoDns.size() == 1) {
            file(member, wanted.begin()->first, psoDns.front());
            continue;
          }
          const std::vector<std::string>* applied =
              FindAttribute(member, "msDS-PSOApplied");
          if (applied == nullptr) continue;
          for (const std::string& psoDn : *applied) {
            auto it = wanted.find(LowerCase(psoDn));
            if (it != wanted.end()) file(member, it->first, *it->second);
          }
        }
        read += page.size();
        if (progress) progress(read);
      });
}

}  // namespace

int GetAppliedMembers(LdapConnection& connection, const std::string& searchBase,
                      const std::vector<std::string>& psoDns,
                      AppliedMembersByPso* members,
                      const AppliedProgress& progress) {
  return WalkAppliedMembers(
      connection, searchBase, psoDns,
      [members](const Record& member, const std::string& psoKey,
                const std::string& psoDn) {
        (*members)[psoKey].push_back(FormatMemberLine(member, psoDn));
      },
      progress);
}

int GetAppliedMemberRecords(LdapConnection& connection,
                            const std::string& searchBase,
                            const std::vector<std::string>& psoDns,
                            AppliedMemberRecordsByPso* members,
                            const AttributeSet& extraAttributes) {
  return WalkAppliedMembers(
      connection, searchBase, psoDns,
      [members](const Record& member, const std::string& psoKey,
                const std::string&) { (*members)[psoKey].push_back(member); },
      nullptr, extraAttributes);
}

int GetAppliedMembers(LdapConnection& connection, const std::string& searchBase,
                      const std::string& psoDn,
                      std::vector<std::string>* lines) {
  AppliedMembersByPso members;
  int status = GetAppliedMembers(connection, searchBase,
                                 std::vector<std::string>{psoDn}, &members);
  if (status != 0) return status;
  auto it = members.find(LowerCase(psoDn));
  if (it != members.end()) {
    lines->insert(lines->end(), it->second.begin(), it->second.end());
  }
  return 0;
}

}  // namespace talvex
