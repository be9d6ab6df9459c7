// A test probe preloaded into talvex (LD_PRELOAD): it stands in front of
// gss_init_sec_context and writes to $CHANNEL_BINDING_PROBE_LOG, per call,
// which channel binding the GSSAPI mechanism was handed. Samba does not
// enforce channel binding, so the lab cannot show whether a Kerberos bind
// under TLS carries one; this shows what Cyrus SASL passes on.
#include <dlfcn.h>
#include <gssapi/gssapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

extern "C" OM_uint32 gss_init_sec_context(
    OM_uint32* minor, gss_cred_id_t credential, gss_ctx_id_t* context,
    gss_name_t target, gss_OID mech, OM_uint32 flags, OM_uint32 lifetime,
    gss_channel_bindings_t bindings, gss_buffer_t input, gss_OID* actualMech,
    gss_buffer_t output, OM_uint32* returnedFlags,
    OM_uint32* returnedLifetime) {
  using Init = OM_uint32 (*)(OM_uint32*, gss_cred_id_t, gss_ctx_id_t*,
                             gss_name_t, gss_OID, OM_uint32, OM_uint32,
                             gss_channel_bindings_t, gss_buffer_t, gss_OID*,
                             gss_buffer_t, OM_uint32*, OM_uint32*);
  auto real = reinterpret_cast<Init>(dlsym(RTLD_NEXT, "gss_init_sec_context"));
  const char* path = std::getenv("CHANNEL_BINDING_PROBE_LOG");
  if (FILE* log = path != nullptr ? std::fopen(path, "a") : nullptr) {
    if (bindings == GSS_C_NO_CHANNEL_BINDINGS) {
      std::fputs("none\n", log);
    } else {
      // RFC 5929: "tls-server-end-point:" and the certificate's hash.
      const auto* data =
          static_cast<const char*>(bindings->application_data.value);
      std::size_t length = bindings->application_data.length;
      const char* colon =
          static_cast<const char*>(std::memchr(data, ':', length));
      std::size_t prefix = colon != nullptr ? colon - data + 1 : length;
      std::fprintf(log, "%.*s %zu\n", static_cast<int>(prefix), data,
                   length - prefix);
    }
    std::fclose(log);
  }
  return real(minor, credential, context, target, mech, flags, lifetime,
              bindings, input, actualMech, output, returnedFlags,
              returnedLifetime);
}
