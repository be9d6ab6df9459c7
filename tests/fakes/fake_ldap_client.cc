#include "fakes/fake_ldap_client.h"

#include <algorithm>
#include <deque>

#include "directory/ranged_values.h"
#include "support/text_case.h"

namespace talvex {
namespace {

constexpr int kGlobalCatalogPort = 3268;
constexpr int kGlobalCatalogSslPort = 3269;
constexpr int kOperationsError = 1;

struct ErrorTextEntry {
  int code;
  const char* text;
};

// ldap_err2string of OpenLDAP 2.5.
constexpr ErrorTextEntry kErrorTexts[] = {
    {0, "Success"},
    {1, "Operations error"},
    {2, "Protocol error"},
    {3, "Time limit exceeded"},
    {4, "Size limit exceeded"},
    {5, "Compare False"},
    {6, "Compare True"},
    {7, "Authentication method not supported"},
    {8, "Strong(er) authentication required"},
    {10, "Referral"},
    {11, "Administrative limit exceeded"},
    {12, "Critical extension is unavailable"},
    {13, "Confidentiality required"},
    {14, "SASL bind in progress"},
    {16, "No such attribute"},
    {17, "Undefined attribute type"},
    {18, "Inappropriate matching"},
    {19, "Constraint violation"},
    {20, "Type or value exists"},
    {21, "Invalid syntax"},
    {32, "No such object"},
    {33, "Alias problem"},
    {34, "Invalid DN syntax"},
    {35, "Entry is a leaf"},
    {36, "Alias dereferencing problem"},
    {48, "Inappropriate authentication"},
    {49, "Invalid credentials"},
    {50, "Insufficient access"},
    {51, "Server is busy"},
    {52, "Server is unavailable"},
    {53, "Server is unwilling to perform"},
    {54, "Loop detected"},
    {64, "Naming violation"},
    {65, "Object class violation"},
    {66, "Operation not allowed on non-leaf"},
    {67, "Operation not allowed on RDN"},
    {68, "Already exists"},
    {69, "Cannot modify object class"},
    {70, "Results too large"},
    {71, "Operation affects multiple DSAs"},
    {80, "Other (e.g., implementation specific) error"},
    {-1, "Can't contact LDAP server"},
    {-2, "Local error"},
    {-3, "Encoding error"},
    {-4, "Decoding error"},
    {-5, "Timed out"},
    {-6, "Unknown authentication method"},
    {-7, "Bad search filter"},
    {-8, "User cancelled operation"},
    {-9, "Bad parameter to an ldap routine"},
    {-10, "Out of memory"},
    {-11, "Connect error"},
    {-12, "Not Supported"},
    {-13, "Control not found"},
    {-14, "No results returned"},
    {-15, "More results to return"},
    {-16, "Client Loop"},
    {-17, "Referral Limit Exceeded"},
};

const std::vector<std::string> kPsoMandatory = {
    "msDS-MaximumPasswordAge",
    "msDS-MinimumPasswordAge",
    "msDS-MinimumPasswordLength",
    "msDS-PasswordHistoryLength",
    "msDS-PasswordComplexityEnabled",
    "msDS-PasswordReversibleEncryptionEnabled",
    "msDS-LockoutObservationWindow",
    "msDS-LockoutDuration",
    "msDS-LockoutThreshold",
    "msDS-PasswordSettingsPrecedence",
};

// "DC=corp,DC=example,DC=com" -> "corp.example.com".
std::string DnsNameOf(const std::string& domainDn) {
  std::string result;
  std::string rest = domainDn;
  while (!rest.empty()) {
    std::string rdn = FakeFirstRdn(rest);
    std::size_t eq = rdn.find('=');
    if (eq != std::string::npos && LowerCase(rdn.substr(0, eq)) == "dc") {
      if (!result.empty()) result += '.';
      result += rdn.substr(eq + 1);
    }
    rest = FakeParentDn(rest);
  }
  return LowerCase(result);
}

}  // namespace

struct Failure {
  FakeOp kind;
  int code;
  std::string diagnostic;
  int skip;
};

struct DnFailure {
  FakeOp kind;
  std::string dn;  // normalised
  int code;
  std::string diagnostic;
};

class FakeLdapState {
 public:
  std::map<std::string, std::shared_ptr<FakeDirectory>> hosts;
  std::map<std::string, std::shared_ptr<FakeDirectory>> globalCatalogs;
  std::map<std::string, std::shared_ptr<FakeDirectory>>
      domains;  // normalised DN
  std::vector<std::shared_ptr<FakeDirectory>> domainOrder;
  std::shared_ptr<FakeDirectory> configuration;
  std::string rootDn;
  std::string configurationDn;
  std::string schemaDn;
  std::string defaultHost;

  std::deque<Failure> failures;
  std::vector<DnFailure> dnFailures;
  std::map<std::string, int> initializeFailures;
  std::map<std::string, std::pair<int, std::string>> bindFailures;
  std::map<LdapOption, int> optionFailures;

  FakeLie lie = FakeLie::kNone;
  int lieCount = 0;  // pages sent under the lie, for new cookies

  std::vector<FakeRequest> log;
  std::vector<FakeAheadSearch> ahead;

  // An injected failure for this operation, if any.
  bool Injected(FakeOp kind, const std::string& dn, int* code,
                std::string* diagnostic) {
    for (auto it = failures.begin(); it != failures.end(); ++it) {
      if (it->kind != kind) continue;
      if (it->skip > 0) {
        --it->skip;
        return false;
      }
      *code = it->code;
      *diagnostic = it->diagnostic;
      failures.erase(it);
      return true;
    }
    // The latest failure set for the DN wins.
    std::string normalized = FakeNormalizeDn(dn);
    for (auto it = dnFailures.rbegin(); it != dnFailures.rend(); ++it) {
      const DnFailure& failure = *it;
      if (failure.kind == kind && failure.dn == normalized) {
        *code = failure.code;
        *diagnostic = failure.diagnostic;
        return true;
      }
    }
    return false;
  }
};

namespace {

class FakeLdapConnection : public LdapConnection {
 public:
  FakeLdapConnection(std::shared_ptr<FakeLdapState> state, std::string host,
                     int port, LdapTls tls,
                     std::shared_ptr<FakeDirectory> directory)
      : state_(std::move(state)),
        host_(std::move(host)),
        port_(port),
        tls_(tls),
        directory_(std::move(directory)) {}

  int SetOption(LdapOption option, int value) override {
    FakeRequest request = NewRequest(FakeOp::kSetOption);
    request.option = option;
    request.optionValue = value;
    auto it = state_->optionFailures.find(option);
    request.result = it == state_->optionFailures.end() ? 0 : it->second;
    return Finish(request, "");
  }

  int EstablishTls() override {
    FakeRequest request = NewRequest(FakeOp::kEstablishTls);
    std::string diagnostic;
    if (tls_ != LdapTls::kNone) {
      state_->Injected(FakeOp::kEstablishTls, "", &request.result, &diagnostic);
    }
    return Finish(request, diagnostic);
  }

  int SimpleBind(const std::string& dn, const std::string& password) override {
    FakeRequest request = NewRequest(FakeOp::kSimpleBind);
    request.dn = dn;
    request.password = password;
    std::string diagnostic;
    if (!BindFailure(FakeOp::kSimpleBind, dn, &request.result, &diagnostic)) {
      bool anonymous = dn.empty() && password.empty();
      if (!anonymous && directory_->HasAccounts() &&
          !directory_->CheckCredentials(dn, password)) {
        request.result = ldap_result::kInvalidCredentials;
        diagnostic = kFakeBadPasswordDiagnostic;
      } else {
        bound_ = !anonymous;
      }
    }
    return Finish(request, diagnostic);
  }

  int NegotiateBind(const NegotiateCredentials& credentials) override {
    FakeRequest request = NewRequest(FakeOp::kNegotiateBind);
    request.credentials = credentials;
    std::string name = credentials.domain.empty()
                           ? credentials.user
                           : credentials.domain + "\\" + credentials.user;
    std::string diagnostic;
    if (!BindFailure(FakeOp::kNegotiateBind, name, &request.result,
                     &diagnostic)) {
      if (!credentials.currentLogon && directory_->HasAccounts() &&
          !directory_->CheckCredentials(name, credentials.password)) {
        request.result = ldap_result::kInvalidCredentials;
        diagnostic = kFakeBadPasswordDiagnostic;
      } else {
        bound_ = true;
      }
    }
    return Finish(request, diagnostic);
  }

  // The fake answers at once: a search sent ahead is only noted, and
  // counted as taken by the first equal first-page Search of this connection.
  void SendAhead(const LdapSearchRequest& search, int pageSize) override {
    aheadIndexes_.push_back(state_->ahead.size());
    state_->ahead.push_back({.search = search, .pageSize = pageSize});
  }

  int Search(const LdapSearchRequest& search, int pageSize, std::string* cookie,
             std::vector<LdapEntry>* entries) override {
    if (cookie == nullptr || cookie->empty()) TakeAhead(search, pageSize);
    FakeRequest request = NewRequest(FakeOp::kSearch);
    request.search = search;
    request.pageSize = pageSize;
    if (cookie != nullptr) request.cookie = *cookie;
    std::string diagnostic;
    bool rootDse = search.base.empty() && search.scope == LdapScope::kBase;
    if (state_->Injected(FakeOp::kSearch, search.base, &request.result,
                         &diagnostic)) {
      if (cookie != nullptr) cookie->clear();
    } else if (!bound_ && !rootDse) {
      request.result = kOperationsError;
      diagnostic = kFakeBindRequiredDiagnostic;
      if (cookie != nullptr) cookie->clear();
    } else if (Lies(search, pageSize, cookie, entries)) {
      request.entriesReturned = entries->size();
    } else {
      std::size_t before = entries->size();
      request.result =
          directory_->Search(search, pageSize, cookie, entries, &diagnostic);
      Distort(search, before, entries);
      request.entriesReturned = entries->size() - before;
    }
    return Finish(request, diagnostic);
  }

  int Add(const std::string& dn,
          const std::vector<LdapModification>& attributes) override {
    FakeRequest request = NewRequest(FakeOp::kAdd);
    request.dn = dn;
    request.modifications = attributes;
    std::string diagnostic;
    if (Writable(FakeOp::kAdd, dn, &request.result, &diagnostic)) {
      request.result = directory_->Add(dn, attributes, &diagnostic);
    }
    return Finish(request, diagnostic);
  }

  int Modify(const std::string& dn,
             const std::vector<LdapModification>& modifications) override {
    FakeRequest request = NewRequest(FakeOp::kModify);
    request.dn = dn;
    request.modifications = modifications;
    std::string diagnostic;
    if (Writable(FakeOp::kModify, dn, &request.result, &diagnostic) &&
        state_->lie != FakeLie::kIgnoredWrites) {
      request.result = directory_->Modify(dn, modifications, &diagnostic);
    }
    return Finish(request, diagnostic);
  }

  int Delete(const std::string& dn) override {
    FakeRequest request = NewRequest(FakeOp::kDelete);
    request.dn = dn;
    std::string diagnostic;
    if (Writable(FakeOp::kDelete, dn, &request.result, &diagnostic)) {
      request.result = directory_->Delete(dn, &diagnostic);
    }
    return Finish(request, diagnostic);
  }

  int Rename(const std::string& dn, const std::string& newRdn,
             bool deleteOldRdn) override {
    FakeRequest request = NewRequest(FakeOp::kRename);
    request.dn = dn;
    request.newRdn = newRdn;
    request.deleteOldRdn = deleteOldRdn;
    std::string diagnostic;
    if (Writable(FakeOp::kRename, dn, &request.result, &diagnostic)) {
      request.result =
          directory_->Rename(dn, newRdn, deleteOldRdn, &diagnostic);
    }
    return Finish(request, diagnostic);
  }

  std::string DiagnosticMessage() override { return diagnostic_; }
  std::string HostName() override { return host_; }

 private:
  FakeRequest NewRequest(FakeOp kind) const {
    FakeRequest request;
    request.kind = kind;
    request.host = host_;
    request.port = port_;
    request.tls = tls_;
    return request;
  }

  int Finish(const FakeRequest& request, const std::string& diagnostic) {
    diagnostic_ = request.result == 0 ? std::string() : diagnostic;
    state_->log.push_back(request);
    return request.result;
  }

  bool BindFailure(FakeOp kind, const std::string& name, int* code,
                   std::string* diagnostic) {
    bound_ = false;
    if (state_->Injected(kind, name, code, diagnostic)) return true;
    auto it = state_->bindFailures.find(LowerCase(host_));
    if (it == state_->bindFailures.end()) return false;
    *code = it->second.first;
    *diagnostic = it->second.second;
    return true;
  }

  // Answers the search with the client's lie, when it concerns it.
  bool Lies(const LdapSearchRequest& search, int pageSize, std::string* cookie,
            std::vector<LdapEntry>* entries) {
    const FakeLie lie = state_->lie;
    ValueRange range = search.attributes.size() == 1
                           ? ReadValueRange(search.attributes.front())
                           : ValueRange{};
    if ((lie == FakeLie::kEndlessRanges || lie == FakeLie::kBackwardRanges) &&
        range.present) {
      long long low = lie == FakeLie::kEndlessRanges ? range.low : 0;
      LdapAttribute attribute{range.baseName + ";range=" + std::to_string(low) +
                                  "-" + std::to_string(low + 9),
                              {}};
      for (int i = 0; i < 10; ++i)
        attribute.values.push_back("v" + std::to_string(low + i));
      entries->push_back(LdapEntry{search.base, {std::move(attribute)}});
      return true;
    }
    if (pageSize <= 0 || cookie == nullptr) return false;
    if (lie == FakeLie::kRepeatedPages) {
      std::string first, diagnostic;
      directory_->Search(search, pageSize, &first, entries, &diagnostic);
      *cookie = "fake-repeated";
      return true;
    }
    if (lie == FakeLie::kEmptyPages) {
      *cookie = "fake-empty:" + std::to_string(++state_->lieCount);
      return true;
    }
    return false;
  }

  // The lies that change an honest answer (its entries from first on).
  void Distort(const LdapSearchRequest& search, std::size_t first,
               std::vector<LdapEntry>* entries) {
    if (state_->lie == FakeLie::kShoutedNames) {
      for (std::size_t i = first; i < entries->size(); ++i) {
        for (LdapAttribute& attribute : (*entries)[i].attributes)
          attribute.name = UpperCase(attribute.name);
      }
    }
    if (state_->lie == FakeLie::kForeignEntries && entries->size() > first &&
        !search.base.empty() && (*entries)[first].dn.size() >= search.base.size()) {
      LdapEntry foreign = (*entries)[first];
      foreign.dn.resize(foreign.dn.size() - search.base.size());
      foreign.dn += "DC=elsewhere,DC=invalid";
      entries->push_back(std::move(foreign));
    }
    if (state_->lie == FakeLie::kLookalikeEntries && entries->size() > first &&
        !search.base.empty()) {
      LdapEntry lookalike = (*entries)[first];
      lookalike.dn = "CN=x\\," + search.base;
      entries->push_back(std::move(lookalike));
    }
  }

  void TakeAhead(const LdapSearchRequest& search, int pageSize) {
    for (auto it = aheadIndexes_.begin(); it != aheadIndexes_.end(); ++it) {
      FakeAheadSearch& ahead = state_->ahead[*it];
      if (ahead.pageSize == pageSize && ahead.search == search) {
        ahead.taken = true;
        aheadIndexes_.erase(it);
        return;
      }
    }
  }

  // False (with the code set) when the write must not reach the directory.
  bool Writable(FakeOp kind, const std::string& dn, int* code,
                std::string* diagnostic) {
    aheadIndexes_.clear();  // what was sent ahead is dropped
    if (state_->Injected(kind, dn, code, diagnostic)) return false;
    if (!bound_) {
      *code = kOperationsError;
      *diagnostic = kFakeBindRequiredDiagnostic;
      return false;
    }
    return true;
  }

  std::shared_ptr<FakeLdapState> state_;
  std::string host_;
  int port_;
  LdapTls tls_;
  std::shared_ptr<FakeDirectory> directory_;
  bool bound_ = false;
  // Indexes into the state's list of the searches sent ahead on this
  // connection and not taken yet.
  std::vector<std::size_t> aheadIndexes_;
  std::string diagnostic_;
};

}  // namespace

std::string FakeLdapErrorText(int code) {
  for (const auto& entry : kErrorTexts) {
    if (entry.code == code) return entry.text;
  }
  return code < 0 ? "Unknown API error" : "Unknown error";
}

FakeLdapClient::FakeLdapClient() : state_(std::make_shared<FakeLdapState>()) {}
FakeLdapClient::~FakeLdapClient() = default;

std::shared_ptr<FakeDirectory> FakeLdapClient::AddHost(
    const std::string& host, std::shared_ptr<FakeDirectory> directory) {
  if (!directory) directory = std::make_shared<FakeDirectory>();
  state_->hosts[LowerCase(host)] = directory;
  if (state_->defaultHost.empty()) state_->defaultHost = host;
  return directory;
}

std::shared_ptr<FakeDirectory> FakeLdapClient::DirectoryOf(
    const std::string& host) const {
  auto it = state_->hosts.find(LowerCase(host));
  return it == state_->hosts.end() ? nullptr : it->second;
}

std::shared_ptr<FakeDirectory> FakeLdapClient::GlobalCatalogOf(
    const std::string& host) const {
  auto it = state_->globalCatalogs.find(LowerCase(host));
  return it == state_->globalCatalogs.end() ? nullptr : it->second;
}

FakeDirectory& FakeLdapClient::AddDomain(const std::string& host,
                                         const std::string& domainDn,
                                         const FakeDomainOptions& options) {
  FakeLdapState& s = *state_;
  std::string dnsName = DnsNameOf(domainDn);
  std::string netbios = options.netbiosName;
  if (netbios.empty()) {
    netbios = UpperCase(dnsName.substr(0, dnsName.find('.')));
  }
  if (!s.configuration) {
    s.rootDn = domainDn;
    s.configurationDn = "CN=Configuration," + domainDn;
    s.schemaDn = "CN=Schema," + s.configurationDn;
    s.configuration = std::make_shared<FakeDirectory>();
    FakeDirectory& c = *s.configuration;
    c.AddEntry(s.configurationDn, {{"objectClass", {"top", "configuration"}}});
    c.AddEntry("CN=Partitions," + s.configurationDn,
               {{"objectClass", {"top", "crossRefContainer"}}});
    c.AddEntry("CN=Enterprise Configuration,CN=Partitions," + s.configurationDn,
               {{"objectClass", {"top", "crossRef"}},
                {"nCName", {s.configurationDn}},
                {"dnsRoot", {dnsName}},
                {"systemFlags", {"1"}}});
    c.AddEntry("CN=Enterprise Schema,CN=Partitions," + s.configurationDn,
               {{"objectClass", {"top", "crossRef"}},
                {"nCName", {s.schemaDn}},
                {"dnsRoot", {dnsName}},
                {"systemFlags", {"1"}}});
    c.AddEntry("CN=Sites," + s.configurationDn,
               {{"objectClass", {"top", "sitesContainer"}}});
    c.AddEntry(s.schemaDn, {{"objectClass", {"top", "dMD"}}});
  }
  s.configuration->AddEntry(
      "CN=" + netbios + ",CN=Partitions," + s.configurationDn,
      {{"objectClass", {"top", "crossRef"}},
       {"nCName", {domainDn}},
       {"nETBIOSName", {netbios}},
       {"dnsRoot", {dnsName}},
       {"systemFlags", {"3"}}});

  auto directory = std::make_shared<FakeDirectory>();
  directory->AttachPartition(s.configuration);
  directory->SetMandatoryAttributes("msDS-PasswordSettings", kPsoMandatory);
  AddHost(host, directory);
  s.domains[FakeNormalizeDn(domainDn)] = directory;
  s.domainOrder.push_back(directory);

  std::vector<std::string> capabilities = options.capabilities;
  if (capabilities.empty()) {
    capabilities = {"1.2.840.113556.1.4.800", "1.2.840.113556.1.4.1670",
                    "1.2.840.113556.1.4.1791", "1.2.840.113556.1.4.1935"};
  }
  std::string shortHost = LowerCase(host.substr(0, host.find('.')));
  std::string serverDn = "CN=" + UpperCase(shortHost) +
                         ",CN=Servers,CN=Default-First-Site-Name,CN=Sites," +
                         s.configurationDn;
  FakeAttributes rootDse = {
      {"configurationNamingContext", {s.configurationDn}},
      {"currentTime", {"20261207120000.0Z"}},
      {"defaultNamingContext", {domainDn}},
      {"dnsHostName", {host}},
      {"domainControllerFunctionality", {std::to_string(options.dcLevel)}},
      {"domainFunctionality", {std::to_string(options.domainLevel)}},
      {"dsServiceName", {"CN=NTDS Settings," + serverDn}},
      {"forestFunctionality", {std::to_string(options.forestLevel)}},
      {"highestCommittedUSN", {"4100"}},
      {"isGlobalCatalogReady", {options.globalCatalogReady ? "TRUE" : "FALSE"}},
      {"isSynchronized", {"TRUE"}},
      {"ldapServiceName",
       {dnsName + ":" + shortHost + "$@" + UpperCase(dnsName)}},
      {"namingContexts", {domainDn, s.configurationDn, s.schemaDn}},
      {"rootDomainNamingContext", {s.rootDn}},
      {"schemaNamingContext", {s.schemaDn}},
      {"serverName", {serverDn}},
      {"subschemaSubentry", {"CN=Aggregate," + s.schemaDn}},
      {"supportedCapabilities", capabilities},
      {"supportedControl",
       {"1.2.840.113556.1.4.319", "1.2.840.113556.1.4.417",
        "1.2.840.113556.1.4.529", "1.2.840.113556.1.4.801",
        "1.2.840.113556.1.4.970", "1.2.840.113556.1.4.1340",
        "1.2.840.113556.1.4.1504"}},
      {"supportedLDAPVersion", {"3", "2"}},
      {"supportedSASLMechanisms", {"GSS-SPNEGO", "GSSAPI", "NTLM"}},
  };
  if (!options.dsaVersionString.empty()) {
    rootDse.push_back({"dsaVersionString", {options.dsaVersionString}});
  }
  directory->AddEntry("", rootDse);

  directory->AddEntry(
      domainDn,
      {{"objectClass", {"top", "domain", "domainDNS"}},
       {"dc",
        {FakeFirstRdn(domainDn).substr(FakeFirstRdn(domainDn).find('=') + 1)}},
       {"lockoutDuration", {"-18000000000"}},
       {"lockOutObservationWindow", {"-18000000000"}},
       {"lockoutThreshold", {"0"}},
       {"maxPwdAge", {"-36288000000000"}},
       {"minPwdAge", {"-864000000000"}},
       {"minPwdLength", {"7"}},
       {"pwdHistoryLength", {"24"}},
       {"pwdProperties", {"1"}},
       {"msDS-Behavior-Version", {std::to_string(options.domainLevel)}}});
  directory->AddEntry("CN=Users," + domainDn,
                      {{"objectClass", {"top", "container"}}});
  directory->AddEntry("CN=Computers," + domainDn,
                      {{"objectClass", {"top", "container"}}});
  directory->AddEntry("CN=System," + domainDn,
                      {{"objectClass", {"top", "container"}}});
  directory->AddEntry(
      "CN=Password Settings Container,CN=System," + domainDn,
      {{"objectClass", {"top", "msDS-PasswordSettingsContainer"}}});
  return *directory;
}

void FakeLdapClient::AddController(const std::string& host,
                                   const std::string& domainDn) {
  AddHost(host, state_->domains.at(FakeNormalizeDn(domainDn)));
}

FakeDirectory& FakeLdapClient::AddGlobalCatalog(
    const std::string& host, std::set<std::string> partialAttributeSet) {
  auto gc = std::make_shared<FakeDirectory>();
  gc->SetGlobalCatalog(std::move(partialAttributeSet));
  // The host's own domain first, so that its RootDSE answers.
  if (auto own = DirectoryOf(host)) gc->AttachPartition(own);
  for (const auto& domain : state_->domainOrder) {
    if (domain != DirectoryOf(host)) gc->AttachPartition(domain);
  }
  if (state_->configuration) gc->AttachPartition(state_->configuration);
  state_->globalCatalogs[LowerCase(host)] = gc;
  return *gc;
}

FakeDirectory& FakeLdapClient::Domain(const std::string& domainDn) {
  return *state_->domains.at(FakeNormalizeDn(domainDn));
}

void FakeLdapClient::SetDefaultHost(const std::string& host) {
  state_->defaultHost = host;
}

void FakeLdapClient::FailNext(FakeOp kind, int code,
                              const std::string& diagnostic, int skip) {
  state_->failures.push_back(Failure{kind, code, diagnostic, skip});
}

void FakeLdapClient::FailOnDn(FakeOp kind, const std::string& dn, int code,
                              const std::string& diagnostic) {
  state_->dnFailures.push_back(
      DnFailure{kind, FakeNormalizeDn(dn), code, diagnostic});
}

void FakeLdapClient::FailInitialize(const std::string& host, int error) {
  state_->initializeFailures[LowerCase(host)] = error;
}

void FakeLdapClient::FailBind(const std::string& host, int code,
                              const std::string& diagnostic) {
  state_->bindFailures[LowerCase(host)] = {code, diagnostic};
}

void FakeLdapClient::FailOption(LdapOption option, int code) {
  state_->optionFailures[option] = code;
}

void FakeLdapClient::Lie(FakeLie lie) { state_->lie = lie; }

const std::vector<FakeRequest>& FakeLdapClient::Requests() const {
  return state_->log;
}

std::vector<FakeRequest> FakeLdapClient::Requests(FakeOp kind) const {
  std::vector<FakeRequest> result;
  for (const auto& request : state_->log) {
    if (request.kind == kind) result.push_back(request);
  }
  return result;
}

FakeRequest FakeLdapClient::Last(FakeOp kind) const {
  for (auto it = state_->log.rbegin(); it != state_->log.rend(); ++it) {
    if (it->kind == kind) return *it;
  }
  return FakeRequest{};
}

int FakeLdapClient::Count(FakeOp kind) const {
  return static_cast<int>(std::count_if(
      state_->log.begin(), state_->log.end(),
      [&](const FakeRequest& request) { return request.kind == kind; }));
}

int FakeLdapClient::PageCount() const {
  return static_cast<int>(std::count_if(
      state_->log.begin(), state_->log.end(), [](const FakeRequest& request) {
        return request.kind == FakeOp::kSearch && request.pageSize > 0;
      }));
}

std::vector<FakeAheadSearch> FakeLdapClient::SentAhead() const {
  return state_->ahead;
}

void FakeLdapClient::ClearLog() {
  state_->log.clear();
  state_->ahead.clear();
}

std::unique_ptr<LdapConnection> FakeLdapClient::Initialize(
    const std::string& host, int port, LdapTls tls, int* error) {
  std::string name = host.empty() ? state_->defaultHost : host;
  FakeRequest request;
  request.kind = FakeOp::kInitialize;
  request.host = host;
  request.port = port;
  request.tls = tls;
  std::shared_ptr<FakeDirectory> directory =
      port == kGlobalCatalogPort || port == kGlobalCatalogSslPort
          ? GlobalCatalogOf(name)
          : DirectoryOf(name);
  auto failure = state_->initializeFailures.find(LowerCase(name));
  std::string diagnostic;
  if (failure != state_->initializeFailures.end()) {
    request.result = failure->second;
  } else if (state_->Injected(FakeOp::kInitialize, "", &request.result,
                              &diagnostic)) {
  } else if (!directory) {
    request.result = ldap_result::kServerDown;
  }
  state_->log.push_back(request);
  if (request.result != 0) {
    *error = request.result;
    return nullptr;
  }
  *error = 0;
  return std::make_unique<FakeLdapConnection>(state_, name, port, tls,
                                              directory);
}

std::string FakeLdapClient::ErrorText(int code) {
  return FakeLdapErrorText(code);
}

std::unique_ptr<LdapConnection> FakeLdapClient::Connect(const std::string& host,
                                                        int port) {
  int error = 0;
  auto connection = Initialize(host, port, LdapTls::kNone, &error);
  if (connection) connection->NegotiateBind(NegotiateCredentials{});
  return connection;
}

}  // namespace talvex
