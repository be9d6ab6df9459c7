#include "directory/openldap/sasl_gssapi_bind.h"

#include <sasl/sasl.h>

#include "directory/ldap_client.h"

namespace talvex {

namespace {

struct InteractState {
  gss_cred_id_t credential = GSS_C_NO_CREDENTIAL;
  bool credentialApplied = false;
};

// libldap creates the SASL context inside the bind call, so a GSS credential
// set on the handle before the bind has nowhere to go: the option call fails
// and the GSSAPI mechanism silently falls back to the default ticket cache.
// The mechanism asks for the authorisation identity before it starts the
// GSS exchange; by then the context exists, and this is the first point at
// which the credential can be attached.
int Interact(LDAP* ld, unsigned /*flags*/, void* defaults, void* interact) {
  auto* state = static_cast<InteractState*>(defaults);
  if (state->credential != GSS_C_NO_CREDENTIAL && !state->credentialApplied) {
    if (ldap_set_option(ld, LDAP_OPT_X_SASL_GSS_CREDS, state->credential) !=
        LDAP_OPT_SUCCESS) {
      return LDAP_LOCAL_ERROR;
    }
    state->credentialApplied = true;
  }
  // No authorisation identity: act as the authenticated principal itself.
  for (auto* prompt = static_cast<sasl_interact_t*>(interact);
       prompt->id != SASL_CB_LIST_END; ++prompt) {
    prompt->result = "";
    prompt->len = 0;
  }
  return LDAP_SUCCESS;
}

}  // namespace

int SaslGssapiBind(LDAP* ld, gss_cred_id_t credential,
                   std::string* diagnostic) {
  InteractState state{.credential = credential};
  int rc = ldap_sasl_interactive_bind_s(ld, nullptr, "GSSAPI", nullptr, nullptr,
                                        LDAP_SASL_QUIET, Interact, &state);
  if (state.credentialApplied) {
    // The SASL context keeps the pointer; the credential is released after
    // the bind, so nothing may find it there later.
    ldap_set_option(ld, LDAP_OPT_X_SASL_GSS_CREDS, GSS_C_NO_CREDENTIAL);
  }
  if (credential != GSS_C_NO_CREDENTIAL && !state.credentialApplied) {
    // Whatever the bind did, it did not use the credential we were given:
    // a success would be a bind as whoever owns the default cache.
    *diagnostic =
        "The Kerberos credentials could not be handed to the SASL GSSAPI "
        "mechanism";
    return rc == LDAP_SUCCESS ? ldap_result::kLocalError : rc;
  }
  return rc;
}

}  // namespace talvex
