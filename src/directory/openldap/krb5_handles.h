// Owners of MIT Kerberos and GSS-API allocations. Every release call of
// those libraries that our code needs is made here and nowhere else.
#pragma once

#include <gssapi/gssapi.h>
#include <krb5.h>
#include <profile.h>

#include <memory>
#include <string>
#include <type_traits>

namespace talvex {

struct Krb5ContextDeleter {
  void operator()(krb5_context context) const { krb5_free_context(context); }
};
using Krb5Context =
    std::unique_ptr<std::remove_pointer_t<krb5_context>, Krb5ContextDeleter>;

// Objects below are released through the context that made them; the
// context must outlive them (declare it first).
struct Krb5PrincipalDeleter {
  krb5_context context = nullptr;
  void operator()(krb5_principal principal) const {
    krb5_free_principal(context, principal);
  }
};
using Krb5Principal = std::unique_ptr<std::remove_pointer_t<krb5_principal>,
                                      Krb5PrincipalDeleter>;

// A memory credential cache is destroyed, not just closed: that wipes the
// tickets it holds.
struct Krb5MemoryCacheDeleter {
  krb5_context context = nullptr;
  void operator()(krb5_ccache cache) const { krb5_cc_destroy(context, cache); }
};
using Krb5MemoryCache =
    std::unique_ptr<std::remove_pointer_t<krb5_ccache>, Krb5MemoryCacheDeleter>;

struct Krb5InitCredsOptionsDeleter {
  krb5_context context = nullptr;
  void operator()(krb5_get_init_creds_opt* options) const {
    krb5_get_init_creds_opt_free(context, options);
  }
};
using Krb5InitCredsOptions =
    std::unique_ptr<krb5_get_init_creds_opt, Krb5InitCredsOptionsDeleter>;

struct Krb5UnparsedNameDeleter {
  krb5_context context = nullptr;
  void operator()(char* name) const { krb5_free_unparsed_name(context, name); }
};
using Krb5UnparsedName = std::unique_ptr<char, Krb5UnparsedNameDeleter>;

// The profile a context read (krb5_get_profile gives a copy to release).
struct Krb5ProfileDeleter {
  void operator()(profile_t profile) const { profile_release(profile); }
};
using Krb5Profile =
    std::unique_ptr<std::remove_pointer_t<profile_t>, Krb5ProfileDeleter>;

struct ProfileValuesDeleter {
  void operator()(char** values) const { profile_free_list(values); }
};
using ProfileValues = std::unique_ptr<char*, ProfileValuesDeleter>;

struct Krb5DefaultRealmDeleter {
  krb5_context context = nullptr;
  void operator()(char* realm) const {
    krb5_free_default_realm(context, realm);
  }
};
using Krb5DefaultRealm = std::unique_ptr<char, Krb5DefaultRealmDeleter>;

// The contents of a krb5_creds filled by the library (the struct itself is
// ours).
class Krb5CredsContents {
 public:
  explicit Krb5CredsContents(krb5_context context) : context_(context) {}
  ~Krb5CredsContents() { krb5_free_cred_contents(context_, &creds_); }
  Krb5CredsContents(const Krb5CredsContents&) = delete;
  Krb5CredsContents& operator=(const Krb5CredsContents&) = delete;

  krb5_creds* get() { return &creds_; }

 private:
  krb5_context context_;
  krb5_creds creds_{};
};

// The library's text for an error code of this context.
inline std::string Krb5ErrorText(krb5_context context, krb5_error_code code) {
  const char* message = krb5_get_error_message(context, code);
  std::string text = message != nullptr ? message : "Kerberos error";
  krb5_free_error_message(context, message);
  return text;
}

class GssCredential {
 public:
  GssCredential() = default;
  ~GssCredential() { Release(); }
  GssCredential(const GssCredential&) = delete;
  GssCredential& operator=(const GssCredential&) = delete;

  gss_cred_id_t get() const { return credential_; }
  gss_cred_id_t* out() {
    Release();
    return &credential_;
  }

 private:
  void Release() {
    if (credential_ != GSS_C_NO_CREDENTIAL) {
      OM_uint32 minor = 0;
      gss_release_cred(&minor, &credential_);
    }
  }
  gss_cred_id_t credential_ = GSS_C_NO_CREDENTIAL;
};

struct GssBufferContents {
  GssBufferContents() = default;
  ~GssBufferContents() {
    OM_uint32 minor = 0;
    gss_release_buffer(&minor, &buffer);
  }
  GssBufferContents(const GssBufferContents&) = delete;
  GssBufferContents& operator=(const GssBufferContents&) = delete;
  gss_buffer_desc buffer = GSS_C_EMPTY_BUFFER;
};

}  // namespace talvex
