#include "directory/openldap/krb5_password_ticket.h"

#include <gssapi/gssapi_ext.h>
#include <gssapi/gssapi_krb5.h>

#include <algorithm>
#include <cctype>

#include "directory/ldap_client.h"

namespace talvex {

namespace {

std::string UpperCase(std::string_view text) {
  std::string upper(text);
  std::transform(upper.begin(), upper.end(), upper.begin(),
                 [](unsigned char c) { return std::toupper(c); });
  return upper;
}

// Both status texts of a GSS-API failure, major then minor.
std::string GssErrorText(OM_uint32 major, OM_uint32 minor) {
  std::string text;
  const struct {
    OM_uint32 code;
    int type;
  } kinds[] = {{major, GSS_C_GSS_CODE}, {minor, GSS_C_MECH_CODE}};
  for (const auto& kind : kinds) {
    if (kind.code == 0) continue;
    OM_uint32 context = 0;
    do {
      OM_uint32 ignored = 0;
      GssBufferContents message;
      if (gss_display_status(&ignored, kind.code, kind.type, GSS_C_NO_OID,
                             &context, &message.buffer) != GSS_S_COMPLETE) {
        break;
      }
      if (!text.empty()) text += ": ";
      text.append(static_cast<const char*>(message.buffer.value),
                  message.buffer.length);
    } while (context != 0);
  }
  return text.empty() ? "GSS-API failure" : text;
}

}  // namespace

Krb5ClientName KerberosClientName(std::string_view user,
                                  std::string_view domain,
                                  std::string_view contactedRealm) {
  if (user.find('@') != std::string_view::npos) {
    // A user principal name need not end in a realm (UPN suffixes are free
    // text): the KDC of the contacted domain resolves it as an enterprise
    // name and refers us on when it belongs elsewhere (RFC 6806).
    return {.text = std::string(user),
            .enterprise = true,
            .realm = std::string(contactedRealm)};
  }
  std::string realm = domain.find('.') != std::string_view::npos
                          ? UpperCase(domain)
                          : std::string(contactedRealm);
  return {.text = std::string(user) + "@" + realm,
          .enterprise = false,
          .realm = realm};
}

int LdapCodeForKerberosError(krb5_error_code code) {
  switch (code) {
    case KRB5KDC_ERR_PREAUTH_FAILED:    // wrong password (with pre-auth)
    case KRB5KRB_AP_ERR_BAD_INTEGRITY:  // wrong password (without)
    case KRB5_PREAUTH_FAILED:
    case KRB5KDC_ERR_C_PRINCIPAL_UNKNOWN:  // no such account
    case KRB5KDC_ERR_CLIENT_REVOKED:       // disabled or locked out
    case KRB5KDC_ERR_KEY_EXP:              // password expired
    case KRB5KDC_ERR_NAME_EXP:             // account expired
    case KRB5KDC_ERR_CLIENT_NOTYET:
    case KRB5KDC_ERR_POLICY:  // logon hours, workstations
      return ldap_result::kInvalidCredentials;
    default:
      return ldap_result::kLocalError;
  }
}

int Krb5PasswordTicket::Obtain(const Krb5ClientName& client,
                               const std::string& password,
                               std::string* diagnostic) {
  krb5_context raw_context = nullptr;
  krb5_error_code code = krb5_init_context(&raw_context);
  if (code != 0) {
    *diagnostic =
        "Kerberos initialisation failed (error " + std::to_string(code) + ")";
    return ldap_result::kLocalError;
  }
  context_.reset(raw_context);
  krb5_context context = context_.get();
  const auto fail = [&](krb5_error_code error, std::string_view step) {
    *diagnostic = Krb5ErrorText(context, error) + " (" + std::string(step) +
                  " for " + client.text + ")";
    return LdapCodeForKerberosError(error);
  };

  // A machine without any krb5.conf has no default realm; an enterprise
  // name cannot even be parsed without one. The KDC is then found through
  // DNS SRV records (dns_lookup_kdc defaults to true).
  {
    char* realm = nullptr;
    if (krb5_get_default_realm(context, &realm) == 0) {
      Krb5DefaultRealm owned(realm, {context});
    } else if ((code = krb5_set_default_realm(context, client.realm.c_str())) !=
               0) {
      return fail(code, "setting the default realm");
    }
  }

  krb5_principal raw_principal = nullptr;
  code = krb5_parse_name_flags(
      context, client.text.c_str(),
      client.enterprise ? KRB5_PRINCIPAL_PARSE_ENTERPRISE : 0, &raw_principal);
  if (code != 0) return fail(code, "parsing the account name");
  Krb5Principal principal(raw_principal, {context});
  if (client.enterprise && !client.realm.empty()) {
    code = krb5_set_principal_realm(context, principal.get(),
                                    client.realm.c_str());
    if (code != 0) return fail(code, "setting the realm");
  }

  krb5_ccache raw_cache = nullptr;
  code = krb5_cc_new_unique(context, "MEMORY", nullptr, &raw_cache);
  if (code != 0) return fail(code, "creating a memory credential cache");
  cache_ = Krb5MemoryCache(raw_cache, {context});

  krb5_get_init_creds_opt* raw_options = nullptr;
  code = krb5_get_init_creds_opt_alloc(context, &raw_options);
  if (code != 0) return fail(code, "getting an initial ticket");
  Krb5InitCredsOptions options(raw_options, {context});
  // Enterprise names are resolved (and the answer's client name taken) only
  // when the request asks for canonicalisation.
  if (client.enterprise)
    krb5_get_init_creds_opt_set_canonicalize(options.get(), 1);
  code = krb5_get_init_creds_opt_set_out_ccache(context, options.get(),
                                                cache_.get());
  if (code != 0) return fail(code, "getting an initial ticket");

  {
    Krb5CredsContents creds(context);
    // No prompter: an expired password fails instead of asking for a new one.
    code = krb5_get_init_creds_password(context, creds.get(), principal.get(),
                                        password.c_str(), nullptr, nullptr, 0,
                                        nullptr, options.get());
  }
  if (code != 0) return fail(code, "getting an initial ticket");

  // GSS-API finds the memory cache by its full name: memory caches are
  // shared by every Kerberos context of the process.
  std::string cache_name =
      std::string(krb5_cc_get_type(context, cache_.get())) + ":" +
      krb5_cc_get_name(context, cache_.get());
  gss_key_value_element_desc element{.key = "ccache",
                                     .value = cache_name.c_str()};
  gss_key_value_set_desc store{.count = 1, .elements = &element};
  OM_uint32 minor = 0;
  OM_uint32 major = gss_acquire_cred_from(
      &minor, GSS_C_NO_NAME, GSS_C_INDEFINITE, gss_mech_set_krb5,
      GSS_C_INITIATE, &store, credential_.out(), nullptr, nullptr);
  if (GSS_ERROR(major)) {
    *diagnostic = GssErrorText(major, minor) + " (acquiring credentials for " +
                  client.text + ")";
    return ldap_result::kLocalError;
  }
  return ldap_result::kSuccess;
}

}  // namespace talvex
