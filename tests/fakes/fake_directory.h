// An in-memory directory for unit tests: entries by DN, a real filter
// evaluator, paging, size limits and the modification rules (with the result
// codes Samba's AD server gives), so that our own routines above the LDAP
// client seam run against something that behaves like a domain controller.
#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "directory/ldap_client.h"

namespace talvex {

// Attribute name to values (bytes), in the order given.
using FakeAttributes =
    std::vector<std::pair<std::string, std::vector<std::string>>>;

// What the fake directory does, in brief:
// - DNs compare without regard to case; attribute names too; values of the
//   equality and substring filters and of modifications compare without
//   regard to case (AD's string syntaxes do).
// - "distinguishedName" and "name" (the RDN value) are filled in when an
//   entry is added without them, and kept in step on rename.
// - "(objectCategory=X)" matches an entry whose objectCategory is X (or a DN
//   whose first RDN value is X) or whose objectClass includes X: AD maps a
//   class name given as category to that class's default category, which
//   for the classes our tests use (msDS-PasswordSettings, user, group) is the
//   class itself.
// - Like AD, an attribute with more values than MaxValRange comes back as
//   "name;range=0-1499" with the first range, and "name;range=1500-*" asks
//   for the next (SetMaxValRange).
// - Back links are computed on every read from the forward links of all
//   entries of the directory (and its attached partitions):
//   msDS-PSOApplied from msDS-PSOAppliesTo, memberOf from member. They can be
//   searched for and are returned with "*". A forward link to a DN that does
//   not exist is refused with 19, as Samba does.
// - Constructed attributes are returned only when asked for by name:
//   canonicalName (computed from the DN when not stored), msDS-ResultantPSO
//   (computed for users when not stored: the PSO applied directly with the
//   lowest precedence, else the lowest among the user's groups' PSOs; ties
//   by lower DN), tokenGroups (stored values only).
// - The entry with the empty DN is the RootDSE; only a base search of ""
//   returns it. A one-level or subtree search of "" covers every entry
//   (of every attached partition, which is how a global catalog spans the
//   forest).
class FakeDirectory {
 public:
  FakeDirectory() = default;
  FakeDirectory(const FakeDirectory&) = delete;
  FakeDirectory& operator=(const FakeDirectory&) = delete;

  // Test set-up, without any checks; an existing entry is replaced.
  void AddEntry(const std::string& dn, const FakeAttributes& attributes);
  void SetValues(const std::string& dn, const std::string& attribute,
                 const std::vector<std::string>& values);
  bool HasEntry(const std::string& dn) const;
  // Stored values (computed back links included); empty when none.
  std::vector<std::string> Values(const std::string& dn,
                                  const std::string& attribute) const;
  std::string FirstValue(const std::string& dn,
                         const std::string& attribute) const;
  // DNs of the own entries, in order (RootDSE excluded).
  std::vector<std::string> EntryDns() const;

  // Searches also cover these directories' own entries, and reads of
  // entries held there are served (a global catalog spans the domains; a
  // domain controller holds the shared configuration partition).
  void AttachPartition(std::shared_ptr<FakeDirectory> partition);
  // A global catalog returns only these attributes of entries it does not
  // hold itself (empty: all) and refuses writes with 53.
  void SetGlobalCatalog(std::set<std::string> partialAttributeSet);
  bool IsGlobalCatalog() const { return globalCatalog_; }
  // An add of an entry of this class without one of these attributes fails
  // with 65 (object class violation).
  void SetMandatoryAttributes(const std::string& objectClass,
                              std::vector<std::string> attributes);
  // The server's own limit on a page (AD: MaxPageSize 1000).
  void SetMaxPageSize(int maxPageSize) { maxPageSize_ = maxPageSize; }
  // The server's limit on the values of one attribute per read (AD:
  // MaxValRange 1500); 0: no limit, as Samba.
  void SetMaxValRange(int maxValRange) { maxValRange_ = maxValRange; }

  // Accounts for binds. With none, every bind succeeds. name may be a DN,
  // a user principal name or DOMAIN\user; all forms given match.
  void AddAccount(std::vector<std::string> names, const std::string& password);
  bool HasAccounts() const { return !accounts_.empty(); }
  bool CheckCredentials(const std::string& name,
                        const std::string& password) const;

  // Convenience builders for tests of the layers above. DNs are returned.
  std::string AddPso(const std::string& domainDn, const std::string& name,
                     int precedence, const FakeAttributes& overrides = {});
  std::string AddUser(const std::string& containerDn, const std::string& name,
                      const std::string& dnsDomain);
  std::string AddGroup(const std::string& containerDn, const std::string& name,
                       const std::vector<std::string>& members = {});

  // The operations as the server performs them. *diagnostic receives the
  // server's text for a failure.
  int Search(const LdapSearchRequest& request, int pageSize,
             std::string* cookie, std::vector<LdapEntry>* entries,
             std::string* diagnostic) const;
  int Add(const std::string& dn,
          const std::vector<LdapModification>& attributes,
          std::string* diagnostic);
  int Modify(const std::string& dn,
             const std::vector<LdapModification>& modifications,
             std::string* diagnostic);
  int Delete(const std::string& dn, std::string* diagnostic);
  int Rename(const std::string& dn, const std::string& newRdn,
             bool deleteOldRdn, std::string* diagnostic);

 private:
  struct Entry {
    std::string dn;
    std::string key;  // FakeNormalizeDn(dn)
    std::vector<LdapAttribute> attributes;
  };

  // An entry of this directory or of an attached partition.
  struct Located {
    FakeDirectory* owner = nullptr;
    Entry* entry = nullptr;
  };

  Entry* FindOwn(const std::string& dn);
  const Entry* FindOwn(const std::string& dn) const;
  Located Find(const std::string& dn) const;
  std::vector<const Entry*> AllEntries() const;
  std::vector<std::string> ValuesOf(const Entry& entry,
                                    const std::string& attribute) const;
  std::vector<std::string> FilterValues(const Entry& entry,
                                        const std::string& attribute) const;
  LdapEntry Project(const Entry& entry, const LdapSearchRequest& request) const;
  std::string ResultantPso(const Entry& entry) const;
  bool CheckLinkTargets(const std::string& attribute,
                        const std::vector<std::string>& values,
                        std::string* diagnostic) const;

  std::vector<Entry> entries_;
  std::vector<std::shared_ptr<FakeDirectory>> partitions_;
  bool globalCatalog_ = false;
  std::set<std::string> partialAttributeSet_;                  // lower-cased
  std::map<std::string, std::vector<std::string>> mandatory_;  // by class
  int maxPageSize_ = 1000;
  int maxValRange_ = 1500;
  struct Account {
    std::vector<std::string> names;
    std::string password;
  };
  std::vector<Account> accounts_;
};

// Lower-cased DN with the blanks after RDN separators removed: the form the
// fake compares DNs in.
std::string FakeNormalizeDn(const std::string& dn);
// The DN of the parent ("" for a single RDN).
std::string FakeParentDn(const std::string& dn);
// The first RDN ("CN=x") of the DN.
std::string FakeFirstRdn(const std::string& dn);

}  // namespace talvex
