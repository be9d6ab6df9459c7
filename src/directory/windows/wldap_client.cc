#include "directory/windows/wldap_client.h"

// clang-format off
#include <windows.h>
#include <rpc.h>
#include <winldap.h>
#include <winber.h>
// clang-format on

#include <string>
#include <vector>

#include "directory/ldap_filter.h"
#include "support/secure_wipe.h"
#include "support/windows/wide_text.h"

namespace talvex {
namespace {

// The security strength of sealing (encryption) in our option values.
constexpr int kSealingStrength = 56;
// Longest wait for the connection and TLS handshake of LDAPS.
constexpr int kHandshakeTimeoutSeconds = 10;

struct LdapHandleDeleter {
  void operator()(LDAP* ld) const { ldap_unbind(ld); }
};
struct MessageDeleter {
  void operator()(LDAPMessage* message) const { ldap_msgfree(message); }
};
struct ValuesDeleter {
  void operator()(berval** values) const { ldap_value_free_len(values); }
};
struct WideMemoryDeleter {
  void operator()(wchar_t* text) const { ldap_memfreeW(text); }
};
struct BerElementDeleter {
  void operator()(BerElement* ber) const { ber_free(ber, 0); }
};
using LdapHandlePtr = std::unique_ptr<LDAP, LdapHandleDeleter>;
using MessagePtr = std::unique_ptr<LDAPMessage, MessageDeleter>;
using ValuesPtr = std::unique_ptr<berval*, ValuesDeleter>;
using WideMemoryPtr = std::unique_ptr<wchar_t, WideMemoryDeleter>;
using BerElementPtr = std::unique_ptr<BerElement, BerElementDeleter>;

// Wide copies of texts and the null-terminated array of pointers to them
// that the calls take; null when there are none.
class WideList {
 public:
  explicit WideList(const std::vector<std::string>& texts) {
    for (const std::string& text : texts) texts_.push_back(Widen(text));
    for (std::wstring& text : texts_) pointers_.push_back(text.data());
    pointers_.push_back(nullptr);
  }
  WideList(const WideList&) = delete;
  WideList& operator=(const WideList&) = delete;
  PWCHAR* get() { return texts_.empty() ? nullptr : pointers_.data(); }

 private:
  std::vector<std::wstring> texts_;
  std::vector<PWCHAR> pointers_;
};

// The request's controls as the library's array; the values point into
// the request, which outlives the call.
class ControlArray {
 public:
  explicit ControlArray(const std::vector<LdapControl>& controls) {
    for (const LdapControl& control : controls) oids_.push_back(Widen(control.oid));
    controls_.resize(controls.size());
    for (std::size_t i = 0; i < controls.size(); ++i) {
      LDAPControlW& entry = controls_[i];
      entry.ldctl_oid = oids_[i].data();
      entry.ldctl_value.bv_len =
          controls[i].hasValue ? static_cast<ULONG>(controls[i].value.size()) : 0;
      entry.ldctl_value.bv_val =
          controls[i].hasValue ? const_cast<char*>(controls[i].value.data())
                               : nullptr;
      entry.ldctl_iscritical = controls[i].critical ? TRUE : FALSE;
    }
    for (LDAPControlW& entry : controls_) pointers_.push_back(&entry);
    pointers_.push_back(nullptr);
  }
  ControlArray(const ControlArray&) = delete;
  ControlArray& operator=(const ControlArray&) = delete;
  PLDAPControlW* get() { return controls_.empty() ? nullptr : pointers_.data(); }

 private:
  std::vector<std::wstring> oids_;
  std::vector<LDAPControlW> controls_;
  std::vector<PLDAPControlW> pointers_;
};

// A modification list with its wide values.
class ModificationArray {
 public:
  ModificationArray(const std::vector<LdapModification>& modifications,
                    bool add) {
    for (const LdapModification& modification : modifications) {
      types_.push_back(Widen(modification.attribute));
      values_.push_back(std::make_unique<WideList>(modification.values));
    }
    mods_.resize(modifications.size());
    for (std::size_t i = 0; i < modifications.size(); ++i) {
      LDAPModW& mod = mods_[i];
      mod.mod_op = add ? LDAP_MOD_ADD
                       : static_cast<ULONG>(modifications[i].op);
      mod.mod_type = types_[i].data();
      mod.mod_vals.modv_strvals = values_[i]->get();
    }
    for (LDAPModW& mod : mods_) pointers_.push_back(&mod);
    pointers_.push_back(nullptr);
  }
  ModificationArray(const ModificationArray&) = delete;
  ModificationArray& operator=(const ModificationArray&) = delete;
  LDAPModW** get() { return pointers_.data(); }

 private:
  std::vector<std::wstring> types_;
  std::vector<std::unique_ptr<WideList>> values_;
  std::vector<LDAPModW> mods_;
  std::vector<LDAPModW*> pointers_;
};

ULONG ScopeValue(LdapScope scope) {
  switch (scope) {
    case LdapScope::kBase:
      return LDAP_SCOPE_BASE;
    case LdapScope::kOneLevel:
      return LDAP_SCOPE_ONELEVEL;
    case LdapScope::kSubtree:
      break;
  }
  return LDAP_SCOPE_SUBTREE;
}

// Everything one search sends, in the library's wide form; a paged search
// keeps it for its whole walk.
struct WideSearch {
  explicit WideSearch(const LdapSearchRequest& request)
      : base(Widen(request.base)),
        filter(Widen(request.filter)),
        attributes(request.attributes),
        controls(request.serverControls) {}
  std::wstring base;
  std::wstring filter;
  WideList attributes;
  ControlArray controls;
};

class WldapConnection : public LdapConnection {
 public:
  // host: as the run named it, for reports when the library keeps none.
  WldapConnection(LDAP* ld, LdapTls tls, std::string host)
      : ld_(ld), tls_(tls), host_(std::move(host)) {}
  ~WldapConnection() override { AbandonPaging(); }

  int SetOption(LdapOption option, int value) override {
    int code = SetLibraryOption(option, value);
    // Wine's wldap32 has no keep-alive pings and does not locate by flags
    // (it answers LDAP_NOT_SUPPORTED); Windows' own client supports both.
    // Neither changes what the connection does, so their absence is no
    // failure to report.
    if (code == LDAP_NOT_SUPPORTED && (option == LdapOption::kKeepAlive ||
                                       option == LdapOption::kLocatorFlags)) {
      return LDAP_SUCCESS;
    }
    return code;
  }

  int SetLibraryOption(LdapOption option, int value) {
    ULONG number = static_cast<ULONG>(value);
    switch (option) {
      case LdapOption::kProtocolVersion:
        return static_cast<int>(
            ldap_set_optionW(ld_.get(), LDAP_OPT_PROTOCOL_VERSION, &number));
      case LdapOption::kReferrals:
        return static_cast<int>(ldap_set_optionW(
            ld_.get(), LDAP_OPT_REFERRALS,
            value != 0 ? LDAP_OPT_ON : LDAP_OPT_OFF));
      case LdapOption::kKeepAlive:
        return static_cast<int>(
            ldap_set_optionW(ld_.get(), LDAP_OPT_PING_KEEP_ALIVE, &number));
      case LdapOption::kSaslSecurityMinimum:
        // Sealing strength means signing and sealing of the negotiated
        // bind's connection; a lower minimum leaves the client's default.
        if (value < kSealingStrength) return LDAP_SUCCESS;
        return SetBoth(LDAP_OPT_ON);
      case LdapOption::kSaslSecurityMaximum:
        // No security layer at all (under TLS): neither signing nor sealing.
        if (value != 0) return LDAP_SUCCESS;
        return SetBoth(LDAP_OPT_OFF);
      case LdapOption::kSaslChannelBinding:
        // The negotiate package binds to the TLS channel by itself.
        return LDAP_SUCCESS;
      case LdapOption::kLocatorFlags:
        return static_cast<int>(
            ldap_set_optionW(ld_.get(), LDAP_OPT_GETDSNAME_FLAGS, &number));
    }
    return LDAP_PARAM_ERROR;
  }

  // Windows' client has both options. Wine's wldap32 has neither (it
  // answers LDAP_NOT_SUPPORTED) and leaves the security layer to its own
  // negotiate bind, which is the only way it binds; so under Wine that
  // answer is taken as "the library's default" rather than as a failure.
  int SetBoth(void* onOrOff) {
    ULONG rc = ldap_set_optionW(ld_.get(), LDAP_OPT_SIGN, onOrOff);
    if (rc == LDAP_SUCCESS) rc = ldap_set_optionW(ld_.get(), LDAP_OPT_ENCRYPT, onOrOff);
    if (rc == LDAP_NOT_SUPPORTED) rc = LDAP_SUCCESS;
    return static_cast<int>(rc);
  }

  int EstablishTls() override {
    switch (tls_) {
      case LdapTls::kNone:
        return 0;
      case LdapTls::kLdaps:
      {
        // ldap_sslinitW chose TLS; connecting makes the handshake, and the
        // server's certificate is checked against the Windows store. The
        // wait is bounded as the Linux client bounds it: a server that takes
        // the connection and never answers the handshake must not hold the
        // run.
        l_timeval bound = {kHandshakeTimeoutSeconds, 0};
        return static_cast<int>(ldap_connect(ld_.get(), &bound));
      }
      case LdapTls::kStartTls: {
        ULONG serverCode = 0;
        LDAPMessage* raw = nullptr;
        ULONG rc = ldap_start_tls_sW(ld_.get(), &serverCode, &raw, nullptr,
                                     nullptr);
        MessagePtr result(raw);
        if (rc == LDAP_SUCCESS) return 0;
        return static_cast<int>(serverCode != 0 ? serverCode : rc);
      }
    }
    return LDAP_PARAM_ERROR;
  }

  // Windows' own client reads the loose filter forms (a doubled outer
  // pair, "!a=*") as our routines word them. A library that refuses them
  // before sending (Wine's wldap32 parses with libldap) has said so once,
  // and from then on gets the strict form, which means the same.
  bool NeedsStrictFilters() const override { return strictFilters_; }

  int SimpleBind(const std::string& dn, const std::string& password) override {
    if (dn.empty() && password.empty()) {
      return static_cast<int>(ldap_simple_bind_sW(ld_.get(), nullptr, nullptr));
    }
    std::wstring wideDn = Widen(dn);
    std::wstring widePassword = Widen(password);
    ULONG rc =
        ldap_simple_bind_sW(ld_.get(), wideDn.data(), widePassword.data());
    SecureWipe(widePassword.data(), widePassword.size() * sizeof(wchar_t));
    return static_cast<int>(rc);
  }

  int NegotiateBind(const NegotiateCredentials& credentials) override {
    if (credentials.currentLogon) {
      // No credential block: the process's own logon.
      return static_cast<int>(
          ldap_bind_sW(ld_.get(), nullptr, nullptr, LDAP_AUTH_NEGOTIATE));
    }
    std::wstring user = Widen(credentials.user);
    std::wstring domain = Widen(credentials.domain);
    std::wstring password = Widen(credentials.password);
    SEC_WINNT_AUTH_IDENTITY_W identity = {};
    identity.User = reinterpret_cast<unsigned short*>(user.data());
    identity.UserLength = static_cast<unsigned long>(user.size());
    identity.Domain = domain.empty()
                          ? nullptr
                          : reinterpret_cast<unsigned short*>(domain.data());
    identity.DomainLength = static_cast<unsigned long>(domain.size());
    identity.Password = reinterpret_cast<unsigned short*>(password.data());
    identity.PasswordLength = static_cast<unsigned long>(password.size());
    identity.Flags = SEC_WINNT_AUTH_IDENTITY_UNICODE;
    ULONG rc = ldap_bind_sW(ld_.get(), nullptr,
                            reinterpret_cast<PWCHAR>(&identity),
                            LDAP_AUTH_NEGOTIATE);
    SecureWipe(password.data(), password.size() * sizeof(wchar_t));
    return static_cast<int>(rc);
  }

  int Search(const LdapSearchRequest& request, int pageSize,
             std::string* cookie, std::vector<LdapEntry>* entries) override {
    bool starting = cookie->empty();
    int code = SearchAsSent(request, pageSize, cookie, entries);
    // LDAP_FILTER_ERROR is the library's own verdict on the text, given
    // before anything reaches the server; only a filter with a strict form
    // of its own is tried again, and only at the start of a search.
    if (code == LDAP_FILTER_ERROR && starting && !strictFilters_) {
      LdapSearchRequest strict = request;
      strict.filter = NormalizeFilter(request.filter);
      if (strict.filter != request.filter) {
        strictFilters_ = true;
        entries->clear();
        cookie->clear();
        code = SearchAsSent(strict, pageSize, cookie, entries);
      }
    }
    return code;
  }

  int SearchAsSent(const LdapSearchRequest& request, int pageSize,
                   std::string* cookie, std::vector<LdapEntry>* entries) {
    if (pageSize > 0) return SearchPage(request, pageSize, cookie, entries);
    cookie->clear();
    WideSearch search(request);
    l_timeval timeout = {request.timeLimitSeconds, 0};
    LDAPMessage* raw = nullptr;
    ULONG rc = ldap_search_ext_sW(
        ld_.get(), search.base.data(), ScopeValue(request.scope),
        request.filter.empty() ? nullptr : search.filter.data(),
        search.attributes.get(), request.attributesOnly ? 1 : 0,
        search.controls.get(), nullptr,
        request.timeLimitSeconds > 0 ? &timeout : nullptr,
        static_cast<ULONG>(request.sizeLimit > 0 ? request.sizeLimit : 0),
        &raw);
    MessagePtr result(raw);
    // A size-limited search keeps the entries it could return.
    if (result) ReadEntries(result.get(), entries);
    return static_cast<int>(rc);
  }

  int Add(const std::string& dn,
          const std::vector<LdapModification>& attributes) override {
    ModificationArray mods(attributes, true);
    std::wstring wideDn = Widen(dn);
    return static_cast<int>(
        ldap_add_ext_sW(ld_.get(), wideDn.data(), mods.get(), nullptr, nullptr));
  }

  int Modify(const std::string& dn,
             const std::vector<LdapModification>& modifications) override {
    ModificationArray mods(modifications, false);
    std::wstring wideDn = Widen(dn);
    return static_cast<int>(ldap_modify_ext_sW(ld_.get(), wideDn.data(),
                                               mods.get(), nullptr, nullptr));
  }

  int Delete(const std::string& dn) override {
    std::wstring wideDn = Widen(dn);
    return static_cast<int>(
        ldap_delete_ext_sW(ld_.get(), wideDn.data(), nullptr, nullptr));
  }

  int Rename(const std::string& dn, const std::string& newRdn,
             bool deleteOldRdn) override {
    std::wstring wideDn = Widen(dn);
    std::wstring wideRdn = Widen(newRdn);
    return static_cast<int>(
        ldap_rename_ext_sW(ld_.get(), wideDn.data(), wideRdn.data(), nullptr,
                           deleteOldRdn ? 1 : 0, nullptr, nullptr));
  }

  std::string DiagnosticMessage() override {
    wchar_t* raw = nullptr;
    if (ldap_get_optionW(ld_.get(), LDAP_OPT_SERVER_ERROR, &raw) !=
            LDAP_SUCCESS ||
        raw == nullptr) {
      return std::string();
    }
    WideMemoryPtr text(raw);
    return Narrow(text.get());
  }

  std::string HostName() override {
    // The name the client connected to, as the handle holds it.
    if (ld_->ld_host != nullptr && ld_->ld_host[0] != '\0') return ld_->ld_host;
    wchar_t* raw = nullptr;
    if (ldap_get_optionW(ld_.get(), LDAP_OPT_HOST_NAME, &raw) ==
            LDAP_SUCCESS &&
        raw != nullptr && raw[0] != L'\0') {
      return Narrow(raw);
    }
    // Wine's wldap32 keeps no host name on the handle: the one the run
    // asked for.
    return host_;
  }

 private:
  void ReadEntries(LDAPMessage* result, std::vector<LdapEntry>* entries) {
    LDAP* ld = ld_.get();
    for (LDAPMessage* message = ldap_first_entry(ld, result);
         message != nullptr; message = ldap_next_entry(ld, message)) {
      LdapEntry entry;
      if (wchar_t* dn = ldap_get_dnW(ld, message)) {
        WideMemoryPtr owner(dn);
        entry.dn = Narrow(dn);
      }
      BerElement* rawBer = nullptr;
      wchar_t* name = ldap_first_attributeW(ld, message, &rawBer);
      BerElementPtr ber(rawBer);
      while (name != nullptr) {
        WideMemoryPtr nameOwner(name);
        LdapAttribute attribute;
        attribute.name = Narrow(name);
        // Raw bytes: text values are UTF-8 as the server sent them, binary
        // values are turned into text above the seam.
        ValuesPtr values(ldap_get_values_lenW(ld, message, name));
        if (values) {
          for (berval** value = values.get(); *value != nullptr; ++value) {
            attribute.values.emplace_back((*value)->bv_val, (*value)->bv_len);
          }
        }
        entry.attributes.push_back(std::move(attribute));
        name = ldap_next_attributeW(ld, message, ber.get());
      }
      entries->push_back(std::move(entry));
    }
  }

  // One page of a paged search. The library keeps the server's cookie in
  // its search handle, so our cookie only says whether a walk is under
  // way; the end comes as LDAP_NO_RESULTS_RETURNED.
  int SearchPage(const LdapSearchRequest& request, int pageSize,
                 std::string* cookie, std::vector<LdapEntry>* entries) {
    if (cookie->empty()) {
      AbandonPaging();
      pagedRequest_ = std::make_unique<WideSearch>(request);
      paging_ = ldap_search_init_pageW(
          ld_.get(), pagedRequest_->base.data(), ScopeValue(request.scope),
          request.filter.empty() ? nullptr : pagedRequest_->filter.data(),
          pagedRequest_->attributes.get(), request.attributesOnly ? 1 : 0,
          pagedRequest_->controls.get(), nullptr,
          static_cast<ULONG>(request.timeLimitSeconds > 0
                                 ? request.timeLimitSeconds
                                 : 0),
          static_cast<ULONG>(request.sizeLimit > 0 ? request.sizeLimit : 0),
          nullptr);
      if (paging_ == nullptr) {
        pagedRequest_.reset();
        return static_cast<int>(LdapGetLastError());
      }
    }
    ULONG total = 0;
    LDAPMessage* raw = nullptr;
    ULONG rc = ldap_get_next_page_s(ld_.get(), paging_, nullptr,
                                    static_cast<ULONG>(pageSize), &total, &raw);
    MessagePtr result(raw);
    if (result) ReadEntries(result.get(), entries);
    if (rc == LDAP_SUCCESS) {
      *cookie = "more";
    } else {
      cookie->clear();
      AbandonPaging();
    }
    return static_cast<int>(rc);
  }

  void AbandonPaging() {
    if (paging_ != nullptr) ldap_search_abandon_page(ld_.get(), paging_);
    paging_ = nullptr;
    pagedRequest_.reset();
  }

  LdapHandlePtr ld_;
  LdapTls tls_;
  std::string host_;
  bool strictFilters_ = false;
  PLDAPSearch paging_ = nullptr;
  std::unique_ptr<WideSearch> pagedRequest_;
};

class WldapClient : public LdapClient {
 public:
  std::unique_ptr<LdapConnection> Initialize(const std::string& host, int port,
                                             LdapTls tls, int* error) override {
    std::wstring wideHost = Widen(host);
    // No host: the library asks the locator for a controller itself.
    PWCHAR name = host.empty() ? nullptr : wideHost.data();
    LDAP* ld = tls == LdapTls::kLdaps
                   ? ldap_sslinitW(name, static_cast<ULONG>(port), 1)
                   : ldap_initW(name, static_cast<ULONG>(port));
    if (ld == nullptr) {
      *error = static_cast<int>(GetLastError());
      return nullptr;
    }
    return std::make_unique<WldapConnection>(ld, tls, host);
  }

  std::string ErrorText(int code) override {
    const wchar_t* text = ldap_err2stringW(static_cast<ULONG>(code));
    return text != nullptr ? Narrow(text) : std::string();
  }
};

}  // namespace

std::unique_ptr<LdapClient> MakeWldapClient() {
  return std::make_unique<WldapClient>();
}

}  // namespace talvex
