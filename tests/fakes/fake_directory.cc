#include "fakes/fake_directory.h"

#include <algorithm>
#include <cstdlib>

#include "fakes/fake_filter.h"
#include "support/text_case.h"

namespace talvex {
namespace {

constexpr char kCookiePrefix[] = "fake-page:";

// Forward link -> back link, as the AD schema pairs them.
struct LinkPair {
  const char* forward;
  const char* back;
};
constexpr LinkPair kLinks[] = {
    {"msDS-PSOAppliesTo", "msDS-PSOApplied"},
    {"member", "memberOf"},
};

// Returned only when a search names them.
constexpr const char* kConstructed[] = {"canonicalName", "msDS-ResultantPSO",
                                        "tokenGroups", "msDS-PrincipalName"};

// Always part of a global catalog's partial attribute set.
constexpr const char* kAlwaysReplicated[] = {
    "distinguishedName", "name", "objectClass", "cn", "objectCategory"};

// Attribute names are ASCII.
bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i];
    char y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

bool SameValue(const std::string& a, const std::string& b) {
  return LowerCase(a) == LowerCase(b);
}

// Splits a DN at its unescaped commas.
std::vector<std::string> SplitRdns(const std::string& dn) {
  std::vector<std::string> rdns;
  std::string current;
  for (std::size_t i = 0; i < dn.size(); ++i) {
    char c = dn[i];
    if (c == '\\' && i + 1 < dn.size()) {
      current += c;
      current += dn[++i];
    } else if (c == ',') {
      rdns.push_back(current);
      current.clear();
    } else {
      current += c;
    }
  }
  if (!dn.empty()) rdns.push_back(current);
  for (auto& rdn : rdns) {
    std::size_t start = rdn.find_first_not_of(' ');
    rdn = start == std::string::npos ? std::string() : rdn.substr(start);
  }
  return rdns;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The value of an RDN with its RFC 4514 escapes undone.
std::string RdnValue(const std::string& rdn) {
  std::size_t eq = rdn.find('=');
  std::string raw = eq == std::string::npos ? rdn : rdn.substr(eq + 1);
  std::string value;
  for (std::size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] != '\\' || i + 1 >= raw.size()) {
      value += raw[i];
      continue;
    }
    if (i + 2 < raw.size() && HexValue(raw[i + 1]) >= 0 &&
        HexValue(raw[i + 2]) >= 0) {
      value +=
          static_cast<char>(HexValue(raw[i + 1]) * 16 + HexValue(raw[i + 2]));
      i += 2;
    } else {
      value += raw[++i];
    }
  }
  return value;
}

std::string RdnType(const std::string& rdn) {
  std::size_t eq = rdn.find('=');
  return eq == std::string::npos ? std::string() : rdn.substr(0, eq);
}

std::string EscapeRdn(const std::string& value) {
  std::string out;
  for (std::size_t i = 0; i < value.size(); ++i) {
    char c = value[i];
    bool special = c == ',' || c == '+' || c == '"' || c == '\\' || c == '<' ||
                   c == '>' || c == ';' || c == '=' ||
                   (i == 0 && (c == '#' || c == ' ')) ||
                   (i + 1 == value.size() && c == ' ');
    if (special) out += '\\';
    out += c;
  }
  return out;
}

bool IsUnder(const std::string& normalizedDn,
             const std::string& normalizedBase) {
  if (normalizedBase.empty()) return true;
  if (normalizedDn == normalizedBase) return true;
  return normalizedDn.size() > normalizedBase.size() &&
         normalizedDn.ends_with("," + normalizedBase);
}

LdapAttribute* FindAttribute(std::vector<LdapAttribute>& attributes,
                             const std::string& name) {
  for (auto& attribute : attributes) {
    if (SameName(attribute.name, name)) return &attribute;
  }
  return nullptr;
}

const LdapAttribute* FindAttribute(const std::vector<LdapAttribute>& attributes,
                                   const std::string& name) {
  for (const auto& attribute : attributes) {
    if (SameName(attribute.name, name)) return &attribute;
  }
  return nullptr;
}

bool Contains(const std::vector<std::string>& values,
              const std::string& value) {
  for (const auto& v : values) {
    if (SameValue(v, value)) return true;
  }
  return false;
}

bool IsConstructed(const std::string& name) {
  for (const char* constructed : kConstructed) {
    if (SameName(name, constructed)) return true;
  }
  return false;
}

const char* CanonicalSpelling(const std::string& name) {
  for (const char* constructed : kConstructed) {
    if (SameName(name, constructed)) return constructed;
  }
  for (const auto& link : kLinks) {
    if (SameName(name, link.back)) return link.back;
  }
  return nullptr;
}

std::string CanonicalName(const std::string& dn) {
  std::vector<std::string> rdns = SplitRdns(dn);
  std::string domain;
  std::vector<std::string> path;
  for (const auto& rdn : rdns) {
    if (SameName(RdnType(rdn), "DC")) {
      if (!domain.empty()) domain += '.';
      domain += RdnValue(rdn);
    } else {
      path.push_back(RdnValue(rdn));
    }
  }
  std::string result = domain + "/";
  for (auto it = path.rbegin(); it != path.rend(); ++it) {
    if (it != path.rbegin()) result += '/';
    result += *it;
  }
  return result;
}

long long ParseNumber(const std::string& text) {
  return std::strtoll(text.c_str(), nullptr, 10);
}

std::string NoSuchObjectText(const std::string& bestMatch) {
  return "0000208D: NameErr: DSID-03100241, problem 2001 (NO_OBJECT), data 0, "
         "best match of:\n\t'" +
         bestMatch + "'\n";
}

}  // namespace

std::string FakeNormalizeDn(const std::string& dn) {
  // One pass (this runs for every entry of every search): lower-case ASCII
  // directly, drop the blanks after separators, and leave other text to the
  // full Unicode case folding.
  std::string result;
  result.reserve(dn.size());
  bool ascii = true;
  bool afterSeparator = true;
  for (std::size_t i = 0; i < dn.size(); ++i) {
    char c = dn[i];
    if (afterSeparator && c == ' ') continue;
    afterSeparator = false;
    if (static_cast<unsigned char>(c) >= 0x80) ascii = false;
    if (c == '\\' && i + 1 < dn.size()) {
      result += c;
      c = dn[++i];
    } else if (c == ',') {
      afterSeparator = true;
    }
    result += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  }
  return ascii ? result : LowerCase(result);
}

std::string FakeParentDn(const std::string& dn) {
  std::vector<std::string> rdns = SplitRdns(dn);
  std::string result;
  for (std::size_t i = 1; i < rdns.size(); ++i) {
    if (i > 1) result += ',';
    result += rdns[i];
  }
  return result;
}

std::string FakeFirstRdn(const std::string& dn) {
  std::vector<std::string> rdns = SplitRdns(dn);
  return rdns.empty() ? std::string() : rdns.front();
}

// ---- Set-up -----------------------------------------------------------------

void FakeDirectory::AddEntry(const std::string& dn,
                             const FakeAttributes& attributes) {
  Entry entry;
  entry.dn = dn;
  entry.key = FakeNormalizeDn(dn);
  for (const auto& [name, values] : attributes) {
    entry.attributes.push_back(LdapAttribute{name, values});
  }
  if (!dn.empty()) {
    if (!FindAttribute(entry.attributes, "distinguishedName")) {
      entry.attributes.push_back(LdapAttribute{"distinguishedName", {dn}});
    }
    if (!FindAttribute(entry.attributes, "name")) {
      entry.attributes.push_back(
          LdapAttribute{"name", {RdnValue(FakeFirstRdn(dn))}});
    }
  }
  if (Entry* existing = FindOwn(dn)) {
    *existing = std::move(entry);
  } else {
    entries_.push_back(std::move(entry));
  }
}

void FakeDirectory::SetValues(const std::string& dn,
                              const std::string& attribute,
                              const std::vector<std::string>& values) {
  Located located = Find(dn);
  if (located.entry == nullptr) return;
  auto& attributes = located.entry->attributes;
  LdapAttribute* existing = FindAttribute(attributes, attribute);
  if (values.empty()) {
    std::erase_if(attributes, [&](const LdapAttribute& a) {
      return SameName(a.name, attribute);
    });
  } else if (existing) {
    existing->values = values;
  } else {
    attributes.push_back(LdapAttribute{attribute, values});
  }
}

bool FakeDirectory::HasEntry(const std::string& dn) const {
  return Find(dn).entry != nullptr;
}

std::vector<std::string> FakeDirectory::Values(
    const std::string& dn, const std::string& attribute) const {
  Located located = Find(dn);
  if (located.entry == nullptr) return {};
  return ValuesOf(*located.entry, attribute);
}

std::string FakeDirectory::FirstValue(const std::string& dn,
                                      const std::string& attribute) const {
  std::vector<std::string> values = Values(dn, attribute);
  return values.empty() ? std::string() : values.front();
}

std::vector<std::string> FakeDirectory::EntryDns() const {
  std::vector<std::string> dns;
  for (const auto& entry : entries_) {
    if (!entry.dn.empty()) dns.push_back(entry.dn);
  }
  return dns;
}

void FakeDirectory::AttachPartition(std::shared_ptr<FakeDirectory> partition) {
  partitions_.push_back(std::move(partition));
}

void FakeDirectory::SetGlobalCatalog(
    std::set<std::string> partialAttributeSet) {
  globalCatalog_ = true;
  partialAttributeSet_.clear();
  for (const auto& name : partialAttributeSet) {
    partialAttributeSet_.insert(LowerCase(name));
  }
}

void FakeDirectory::SetMandatoryAttributes(
    const std::string& objectClass, std::vector<std::string> attributes) {
  mandatory_[LowerCase(objectClass)] = std::move(attributes);
}

void FakeDirectory::AddAccount(std::vector<std::string> names,
                               const std::string& password) {
  accounts_.push_back(Account{std::move(names), password});
}

bool FakeDirectory::CheckCredentials(const std::string& name,
                                     const std::string& password) const {
  for (const auto& account : accounts_) {
    for (const auto& accountName : account.names) {
      if (FakeNormalizeDn(accountName) == FakeNormalizeDn(name)) {
        return account.password == password;
      }
    }
  }
  return false;
}

std::string FakeDirectory::AddPso(const std::string& domainDn,
                                  const std::string& name, int precedence,
                                  const FakeAttributes& overrides) {
  std::string dn = "CN=" + EscapeRdn(name) +
                   ",CN=Password Settings Container,CN=System," + domainDn;
  FakeAttributes attributes = {
      {"objectClass", {"top", "msDS-PasswordSettings"}},
      {"cn", {name}},
      {"msDS-PasswordSettingsPrecedence", {std::to_string(precedence)}},
      {"msDS-PasswordReversibleEncryptionEnabled", {"FALSE"}},
      {"msDS-PasswordHistoryLength", {"24"}},
      {"msDS-PasswordComplexityEnabled", {"TRUE"}},
      {"msDS-MinimumPasswordLength", {"8"}},
      {"msDS-MinimumPasswordAge", {"-864000000000"}},
      {"msDS-MaximumPasswordAge", {"-36288000000000"}},
      {"msDS-LockoutThreshold", {"0"}},
      {"msDS-LockoutObservationWindow", {"-18000000000"}},
      {"msDS-LockoutDuration", {"-18000000000"}},
  };
  for (const auto& [attribute, values] : overrides) {
    auto it = std::find_if(
        attributes.begin(), attributes.end(),
        [&name = attribute](const auto& a) { return SameName(a.first, name); });
    if (it != attributes.end()) {
      if (values.empty()) {
        attributes.erase(it);
      } else {
        it->second = values;
      }
    } else if (!values.empty()) {
      attributes.emplace_back(attribute, values);
    }
  }
  AddEntry(dn, attributes);
  return dn;
}

std::string FakeDirectory::AddUser(const std::string& containerDn,
                                   const std::string& name,
                                   const std::string& dnsDomain) {
  std::string dn = "CN=" + EscapeRdn(name) + "," + containerDn;
  AddEntry(dn,
           {{"objectClass", {"top", "person", "organizationalPerson", "user"}},
            {"cn", {name}},
            {"sAMAccountName", {name}},
            {"userPrincipalName", {name + "@" + dnsDomain}}});
  return dn;
}

std::string FakeDirectory::AddGroup(const std::string& containerDn,
                                    const std::string& name,
                                    const std::vector<std::string>& members) {
  std::string dn = "CN=" + EscapeRdn(name) + "," + containerDn;
  FakeAttributes attributes = {{"objectClass", {"top", "group"}},
                               {"cn", {name}},
                               {"sAMAccountName", {name}}};
  if (!members.empty()) attributes.emplace_back("member", members);
  AddEntry(dn, attributes);
  return dn;
}

// ---- Lookups ----------------------------------------------------------------

FakeDirectory::Entry* FakeDirectory::FindOwn(const std::string& dn) {
  std::string wanted = FakeNormalizeDn(dn);
  for (auto& entry : entries_) {
    if (entry.key == wanted) return &entry;
  }
  return nullptr;
}

const FakeDirectory::Entry* FakeDirectory::FindOwn(
    const std::string& dn) const {
  return const_cast<FakeDirectory*>(this)->FindOwn(dn);
}

FakeDirectory::Located FakeDirectory::Find(const std::string& dn) const {
  auto* self = const_cast<FakeDirectory*>(this);
  if (Entry* entry = self->FindOwn(dn)) return Located{self, entry};
  for (const auto& partition : partitions_) {
    if (Entry* entry = partition->FindOwn(dn)) {
      return Located{partition.get(), entry};
    }
  }
  return Located{};
}

std::vector<const FakeDirectory::Entry*> FakeDirectory::AllEntries() const {
  std::vector<const Entry*> all;
  for (const auto& entry : entries_) {
    if (!entry.dn.empty()) all.push_back(&entry);
  }
  for (const auto& partition : partitions_) {
    for (const auto& entry : partition->entries_) {
      if (!entry.dn.empty()) all.push_back(&entry);
    }
  }
  return all;
}

std::vector<std::string> FakeDirectory::ValuesOf(
    const Entry& entry, const std::string& attribute) const {
  for (const auto& link : kLinks) {
    if (!SameName(attribute, link.back)) continue;
    std::vector<std::string> sources;
    std::string self = FakeNormalizeDn(entry.dn);
    for (const Entry* other : AllEntries()) {
      const LdapAttribute* forward =
          FindAttribute(other->attributes, link.forward);
      if (forward == nullptr) continue;
      for (const auto& value : forward->values) {
        if (FakeNormalizeDn(value) == self) {
          sources.push_back(other->dn);
          break;
        }
      }
    }
    return sources;
  }
  if (const LdapAttribute* stored =
          FindAttribute(entry.attributes, attribute)) {
    return stored->values;
  }
  if (SameName(attribute, "canonicalName") && !entry.dn.empty()) {
    return {CanonicalName(entry.dn)};
  }
  if (SameName(attribute, "msDS-ResultantPSO")) {
    std::string pso = ResultantPso(entry);
    if (!pso.empty()) return {pso};
  }
  return {};
}

std::vector<std::string> FakeDirectory::FilterValues(
    const Entry& entry, const std::string& attribute) const {
  std::vector<std::string> values = ValuesOf(entry, attribute);
  if (SameName(attribute, "objectCategory")) {
    std::vector<std::string> extra;
    for (const auto& value : values)
      extra.push_back(RdnValue(FakeFirstRdn(value)));
    for (const auto& value : ValuesOf(entry, "objectClass"))
      extra.push_back(value);
    values.insert(values.end(), extra.begin(), extra.end());
  }
  return values;
}

std::string FakeDirectory::ResultantPso(const Entry& entry) const {
  const LdapAttribute* classes = FindAttribute(entry.attributes, "objectClass");
  if (classes == nullptr || !Contains(classes->values, "user")) return "";

  std::vector<const Entry*> all = AllEntries();
  auto psosFor = [&](const std::set<std::string>& targets) {
    const Entry* best = nullptr;
    long long bestPrecedence = 0;
    for (const Entry* candidate : all) {
      const LdapAttribute* appliesTo =
          FindAttribute(candidate->attributes, "msDS-PSOAppliesTo");
      if (appliesTo == nullptr) continue;
      bool applies = false;
      for (const auto& value : appliesTo->values) {
        if (targets.count(FakeNormalizeDn(value))) applies = true;
      }
      if (!applies) continue;
      const LdapAttribute* precedence = FindAttribute(
          candidate->attributes, "msDS-PasswordSettingsPrecedence");
      long long value = precedence && !precedence->values.empty()
                            ? ParseNumber(precedence->values[0])
                            : 0;
      if (best == nullptr || value < bestPrecedence ||
          (value == bestPrecedence &&
           FakeNormalizeDn(candidate->dn) < FakeNormalizeDn(best->dn))) {
        best = candidate;
        bestPrecedence = value;
      }
    }
    return best == nullptr ? std::string() : best->dn;
  };

  std::string direct = psosFor({FakeNormalizeDn(entry.dn)});
  if (!direct.empty()) return direct;

  // The groups the user belongs to, directly or through other groups.
  std::set<std::string> groups;
  std::vector<std::string> pending = {FakeNormalizeDn(entry.dn)};
  while (!pending.empty()) {
    std::string member = pending.back();
    pending.pop_back();
    for (const Entry* candidate : all) {
      const LdapAttribute* members =
          FindAttribute(candidate->attributes, "member");
      if (members == nullptr) continue;
      for (const auto& value : members->values) {
        std::string group = FakeNormalizeDn(candidate->dn);
        if (FakeNormalizeDn(value) == member && !groups.count(group)) {
          groups.insert(group);
          pending.push_back(group);
        }
      }
    }
  }
  return groups.empty() ? std::string() : psosFor(groups);
}

LdapEntry FakeDirectory::Project(const Entry& entry,
                                 const LdapSearchRequest& request) const {
  bool all = request.attributes.empty();
  std::vector<std::string> named;
  for (const auto& name : request.attributes) {
    if (name == "*") {
      all = true;
    } else {
      named.push_back(name);
    }
  }
  auto requested = [&](const std::string& name) {
    for (const auto& n : named) {
      if (SameName(n, name)) return true;
    }
    return false;
  };
  auto replicated = [&](const std::string& name) {
    if (!globalCatalog_ || partialAttributeSet_.empty()) return true;
    for (const char* always : kAlwaysReplicated) {
      if (SameName(name, always)) return true;
    }
    return partialAttributeSet_.count(LowerCase(name)) > 0;
  };

  LdapEntry result;
  result.dn = entry.dn;
  std::vector<std::string> done;
  auto emit = [&](const std::string& name, std::vector<std::string> values) {
    if (values.empty() || !replicated(name)) return;
    for (const auto& d : done) {
      if (SameName(d, name)) return;
    }
    done.push_back(name);
    if (request.attributesOnly) values.clear();
    result.attributes.push_back(LdapAttribute{name, std::move(values)});
  };
  for (const auto& attribute : entry.attributes) {
    if ((all && !IsConstructed(attribute.name)) || requested(attribute.name)) {
      emit(attribute.name, attribute.values);
    }
  }
  for (const auto& link : kLinks) {
    if (all || requested(link.back))
      emit(link.back, ValuesOf(entry, link.back));
  }
  for (const auto& name : named) {
    const char* spelling = CanonicalSpelling(name);
    if (spelling != nullptr) emit(spelling, ValuesOf(entry, name));
  }
  return result;
}

bool FakeDirectory::CheckLinkTargets(const std::string& attribute,
                                     const std::vector<std::string>& values,
                                     std::string* diagnostic) const {
  bool linked = false;
  for (const auto& link : kLinks) {
    if (SameName(attribute, link.forward)) linked = true;
  }
  if (!linked) return true;
  for (const auto& value : values) {
    if (!HasEntry(value)) {
      *diagnostic =
          "00000057: LdapErr: DSID-0C090D8A, comment: Error in "
          "attribute conversion operation, data 0, v4563";
      return false;
    }
  }
  return true;
}

// ---- Operations -------------------------------------------------------------

int FakeDirectory::Search(const LdapSearchRequest& request, int pageSize,
                          std::string* cookie, std::vector<LdapEntry>* entries,
                          std::string* diagnostic) const {
  diagnostic->clear();
  auto filter = FakeFilter::Parse(request.filter);
  if (!filter) return ldap_result::kFilterError;

  std::vector<const Entry*> matches;
  auto matchesFilter = [&](const Entry& entry) {
    return filter->Matches([&](const std::string& attribute) {
      return FilterValues(entry, attribute);
    });
  };

  std::string base = FakeNormalizeDn(request.base);
  if (base.empty() && request.scope == LdapScope::kBase) {
    const Entry* rootDse = FindOwn("");
    for (std::size_t i = 0; rootDse == nullptr && i < partitions_.size(); ++i) {
      rootDse = partitions_[i]->FindOwn("");
    }
    if (rootDse != nullptr && matchesFilter(*rootDse))
      matches.push_back(rootDse);
  } else {
    if (!base.empty() && !HasEntry(request.base)) {
      std::string match = FakeParentDn(request.base);
      while (!match.empty() && !HasEntry(match)) match = FakeParentDn(match);
      *diagnostic = NoSuchObjectText(match);
      return ldap_result::kNoSuchObject;
    }
    for (const Entry* entry : AllEntries()) {
      const std::string& dn = entry->key;
      bool inScope = false;
      switch (request.scope) {
        case LdapScope::kBase:
          inScope = dn == base;
          break;
        case LdapScope::kOneLevel:
          inScope = base.empty()
                        ? !HasEntry(FakeParentDn(entry->dn))
                        : FakeNormalizeDn(FakeParentDn(entry->dn)) == base;
          break;
        case LdapScope::kSubtree:
          inScope = IsUnder(dn, base);
          break;
      }
      if (inScope && matchesFilter(*entry)) matches.push_back(entry);
    }
  }

  std::size_t available = matches.size();
  std::size_t limit = available;
  if (request.sizeLimit > 0) {
    limit = std::min(available, static_cast<std::size_t>(request.sizeLimit));
  }
  std::size_t offset = 0;
  std::size_t end = limit;
  if (pageSize > 0) {
    if (cookie != nullptr && !cookie->empty()) {
      if (!cookie->starts_with(kCookiePrefix)) {
        *diagnostic =
            "00002024: LdapErr: DSID-0C090A82, comment: Invalid paged "
            "results cookie";
        return ldap_result::kUnwillingToPerform;
      }
      offset =
          std::strtoul(cookie->c_str() + sizeof kCookiePrefix - 1, nullptr, 10);
    }
    std::size_t size =
        static_cast<std::size_t>(std::min(pageSize, maxPageSize_));
    end = std::min(limit, offset + size);
  }
  for (std::size_t i = std::min(offset, end); i < end; ++i) {
    entries->push_back(Project(*matches[i], request));
  }
  if (pageSize > 0 && end < limit) {
    if (cookie != nullptr) *cookie = kCookiePrefix + std::to_string(end);
    return ldap_result::kSuccess;
  }
  if (cookie != nullptr) cookie->clear();
  return available > limit ? ldap_result::kSizeLimitExceeded
                           : ldap_result::kSuccess;
}

int FakeDirectory::Add(const std::string& dn,
                       const std::vector<LdapModification>& attributes,
                       std::string* diagnostic) {
  diagnostic->clear();
  if (globalCatalog_) return ldap_result::kUnwillingToPerform;
  std::string rdn = FakeFirstRdn(dn);
  if (RdnType(rdn).empty() || RdnValue(rdn).empty()) {
    *diagnostic =
        "00002081: NameErr: DSID-03050F42, problem 2003 (BAD_ATT_SYNTAX), data "
        "0";
    return ldap_result::kInvalidDnSyntax;
  }
  if (HasEntry(dn)) {
    *diagnostic =
        "00002071: UpdErr: DSID-030503A8, problem 6005 (ENTRY_EXISTS), data 0";
    return 68;
  }
  std::string parent = FakeParentDn(dn);
  Located owner = Find(parent);
  if (owner.entry == nullptr) {
    std::string match = FakeParentDn(parent);
    while (!match.empty() && !HasEntry(match)) match = FakeParentDn(match);
    *diagnostic = NoSuchObjectText(match);
    return ldap_result::kNoSuchObject;
  }
  FakeAttributes built;
  for (const auto& modification : attributes) {
    if (modification.values.empty()) {
      *diagnostic =
          "0000057: Attribute " + modification.attribute + " has no values";
      return ldap_result::kInvalidSyntax;
    }
    for (std::size_t i = 0; i < modification.values.size(); ++i) {
      for (std::size_t j = 0; j < i; ++j) {
        if (SameValue(modification.values[i], modification.values[j])) {
          *diagnostic =
              "00002083: AtrErr: DSID-03151904, #1:\n\t0: 00000000: "
              "DSID-03151904, problem 1006 (ATT_OR_VALUE_EXISTS), data 0, "
              "Att 0 (" +
              modification.attribute + ")\n";
          return ldap_result::kAttributeOrValueExists;
        }
      }
    }
    if (!CheckLinkTargets(modification.attribute, modification.values,
                          diagnostic)) {
      return ldap_result::kConstraintViolation;
    }
    built.emplace_back(modification.attribute, modification.values);
  }
  auto classes = std::find_if(built.begin(), built.end(), [](const auto& a) {
    return SameName(a.first, "objectClass");
  });
  if (classes == built.end()) {
    *diagnostic = "00002014: objectclass attribute missing";
    return ldap_result::kObjectClassViolation;
  }
  for (const auto& objectClass : classes->second) {
    auto it = mandatory_.find(LowerCase(objectClass));
    if (it == mandatory_.end()) continue;
    for (const auto& required : it->second) {
      bool present = std::any_of(
          built.begin(), built.end(),
          [&](const auto& a) { return SameName(a.first, required); });
      if (!present) {
        *diagnostic = "objectclass_attrs: at least one mandatory attribute ('" +
                      required + "') on entry '" + dn + "' wasn't specified!";
        return ldap_result::kObjectClassViolation;
      }
    }
  }
  owner.owner->AddEntry(dn, built);
  return ldap_result::kSuccess;
}

int FakeDirectory::Modify(const std::string& dn,
                          const std::vector<LdapModification>& modifications,
                          std::string* diagnostic) {
  diagnostic->clear();
  if (globalCatalog_) return ldap_result::kUnwillingToPerform;
  Located located = Find(dn);
  if (located.entry == nullptr) {
    std::string match = FakeParentDn(dn);
    while (!match.empty() && !HasEntry(match)) match = FakeParentDn(match);
    *diagnostic = NoSuchObjectText(match);
    return ldap_result::kNoSuchObject;
  }
  // Work on a copy: a request applies as a whole or not at all.
  std::vector<LdapAttribute> attributes = located.entry->attributes;
  auto valueExists = [&](const std::string& attribute) {
    *diagnostic =
        "00002083: AtrErr: DSID-03151904, #1:\n\t0: 00000000: "
        "DSID-03151904, problem 1006 (ATT_OR_VALUE_EXISTS), data 0, "
        "Att 0 (" +
        attribute + ")\n";
    return ldap_result::kAttributeOrValueExists;
  };
  auto noSuchAttribute = [&](const std::string& attribute) {
    *diagnostic =
        "00002085: AtrErr: DSID-03152804, #1:\n\t0: 00002085: "
        "DSID-03152804, problem 1002 (ATT_OR_VALUE_NONEXISTENT), data 0, "
        "Att 0 (" +
        attribute + ")\n";
    return ldap_result::kNoSuchAttribute;
  };
  for (const auto& modification : modifications) {
    const std::string& name = modification.attribute;
    LdapAttribute* existing = FindAttribute(attributes, name);
    switch (modification.op) {
      case LdapModOp::kAdd: {
        if (modification.values.empty()) return ldap_result::kInvalidSyntax;
        if (!CheckLinkTargets(name, modification.values, diagnostic)) {
          return ldap_result::kConstraintViolation;
        }
        if (existing == nullptr) {
          attributes.push_back(LdapAttribute{name, {}});
          existing = &attributes.back();
        }
        for (const auto& value : modification.values) {
          if (Contains(existing->values, value)) return valueExists(name);
          existing->values.push_back(value);
        }
        break;
      }
      case LdapModOp::kDelete: {
        if (existing == nullptr) return noSuchAttribute(name);
        for (const auto& value : modification.values) {
          auto it = std::find_if(
              existing->values.begin(), existing->values.end(),
              [&](const std::string& v) { return SameValue(v, value); });
          if (it == existing->values.end()) return noSuchAttribute(name);
          existing->values.erase(it);
        }
        if (modification.values.empty()) existing->values.clear();
        break;
      }
      case LdapModOp::kReplace: {
        for (std::size_t i = 0; i < modification.values.size(); ++i) {
          for (std::size_t j = 0; j < i; ++j) {
            if (SameValue(modification.values[i], modification.values[j])) {
              return valueExists(name);
            }
          }
        }
        if (!CheckLinkTargets(name, modification.values, diagnostic)) {
          return ldap_result::kConstraintViolation;
        }
        if (existing == nullptr) {
          attributes.push_back(LdapAttribute{name, modification.values});
        } else {
          existing->values = modification.values;
        }
        break;
      }
    }
    std::erase_if(attributes,
                  [](const LdapAttribute& a) { return a.values.empty(); });
  }
  // Mandatory attributes of the entry's classes cannot be removed.
  if (const LdapAttribute* classes = FindAttribute(attributes, "objectClass")) {
    for (const auto& objectClass : classes->values) {
      auto it = located.owner->mandatory_.find(LowerCase(objectClass));
      if (it == located.owner->mandatory_.end()) continue;
      for (const auto& required : it->second) {
        if (FindAttribute(attributes, required) == nullptr) {
          *diagnostic =
              "objectclass_attrs: at least one mandatory attribute ('" +
              required + "') on entry '" + dn + "' wasn't specified!";
          return ldap_result::kObjectClassViolation;
        }
      }
    }
  }
  located.entry->attributes = std::move(attributes);
  return ldap_result::kSuccess;
}

int FakeDirectory::Delete(const std::string& dn, std::string* diagnostic) {
  diagnostic->clear();
  if (globalCatalog_) return ldap_result::kUnwillingToPerform;
  Located located = Find(dn);
  if (located.entry == nullptr) {
    std::string match = FakeParentDn(dn);
    while (!match.empty() && !HasEntry(match)) match = FakeParentDn(match);
    *diagnostic = NoSuchObjectText(match);
    return ldap_result::kNoSuchObject;
  }
  std::string self = FakeNormalizeDn(dn);
  for (const Entry* entry : AllEntries()) {
    if (FakeNormalizeDn(FakeParentDn(entry->dn)) == self) {
      *diagnostic =
          "00002015: SvcErr: DSID-031007DB, problem 5003 "
          "(WILL_NOT_PERFORM), data 0";
      return 66;
    }
  }
  auto& owned = located.owner->entries_;
  std::erase_if(owned,
                [&](const Entry& e) { return FakeNormalizeDn(e.dn) == self; });
  // The server drops the forward links that named the deleted object.
  for (const Entry* entry : AllEntries()) {
    auto* mutableEntry = const_cast<Entry*>(entry);
    for (const auto& link : kLinks) {
      if (LdapAttribute* forward =
              FindAttribute(mutableEntry->attributes, link.forward)) {
        std::erase_if(forward->values, [&](const std::string& v) {
          return FakeNormalizeDn(v) == self;
        });
      }
    }
    std::erase_if(mutableEntry->attributes,
                  [](const LdapAttribute& a) { return a.values.empty(); });
  }
  return ldap_result::kSuccess;
}

int FakeDirectory::Rename(const std::string& dn, const std::string& newRdn,
                          bool deleteOldRdn, std::string* diagnostic) {
  diagnostic->clear();
  if (globalCatalog_) return ldap_result::kUnwillingToPerform;
  Located located = Find(dn);
  if (located.entry == nullptr) {
    std::string match = FakeParentDn(dn);
    while (!match.empty() && !HasEntry(match)) match = FakeParentDn(match);
    *diagnostic = NoSuchObjectText(match);
    return ldap_result::kNoSuchObject;
  }
  std::vector<std::string> newRdns = SplitRdns(newRdn);
  if (newRdns.size() != 1 || RdnType(newRdns[0]).empty() ||
      RdnValue(newRdns[0]).empty()) {
    *diagnostic =
        "00002081: NameErr: DSID-03050F42, problem 2003 (BAD_ATT_SYNTAX), data "
        "0";
    return ldap_result::kInvalidDnSyntax;
  }
  std::string parent = FakeParentDn(dn);
  std::string newDn = parent.empty() ? newRdn : newRdn + "," + parent;
  if (FakeNormalizeDn(newDn) != FakeNormalizeDn(dn) && HasEntry(newDn)) {
    *diagnostic =
        "00002071: UpdErr: DSID-030503A8, problem 6005 (ENTRY_EXISTS), data 0";
    return 68;
  }
  std::string oldNormalized = FakeNormalizeDn(dn);
  std::string oldRdn = FakeFirstRdn(dn);
  Entry& entry = *located.entry;
  std::string newValue = RdnValue(newRdn);
  if (deleteOldRdn) {
    if (LdapAttribute* old = FindAttribute(entry.attributes, RdnType(oldRdn))) {
      std::erase_if(old->values, [&](const std::string& v) {
        return SameValue(v, RdnValue(oldRdn));
      });
    }
  }
  if (LdapAttribute* attribute =
          FindAttribute(entry.attributes, RdnType(newRdn))) {
    if (!Contains(attribute->values, newValue))
      attribute->values.push_back(newValue);
  } else {
    entry.attributes.push_back(LdapAttribute{RdnType(newRdn), {newValue}});
  }
  std::erase_if(entry.attributes,
                [](const LdapAttribute& a) { return a.values.empty(); });

  // Every DN at or under the old name moves; so do the links that named it.
  auto moved = [&](const std::string& value) {
    std::string normalized = FakeNormalizeDn(value);
    if (normalized == oldNormalized) return newDn;
    if (IsUnder(normalized, oldNormalized)) {
      std::vector<std::string> rdns = SplitRdns(value);
      std::size_t keep = rdns.size() - SplitRdns(dn).size();
      std::string result;
      for (std::size_t i = 0; i < keep; ++i) result += rdns[i] + ",";
      return result + newDn;
    }
    return value;
  };
  for (const Entry* e : AllEntries()) {
    auto* other = const_cast<Entry*>(e);
    other->dn = moved(other->dn);
    other->key = FakeNormalizeDn(other->dn);
    for (auto& attribute : other->attributes) {
      bool linked = SameName(attribute.name, "distinguishedName");
      for (const auto& link : kLinks) {
        if (SameName(attribute.name, link.forward)) linked = true;
      }
      if (!linked) continue;
      for (auto& value : attribute.values) value = moved(value);
    }
  }
  if (LdapAttribute* name = FindAttribute(entry.attributes, "name")) {
    name->values = {newValue};
  }
  return ldap_result::kSuccess;
}

}  // namespace talvex
