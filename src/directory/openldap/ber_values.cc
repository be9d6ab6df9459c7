// Control values encoded with liblber.
#include <lber.h>

#include "directory/openldap/ldap_handles.h"
#include "directory/search_controls.h"

namespace talvex {
namespace {

// Encodes with the format, or returns "" when no BER element can be had.
template <typename Value>
std::string Encode(const char* format, Value value) {
  OwningBerElementPtr ber(ber_alloc_t(LBER_USE_DER));
  if (!ber) return std::string();
  if (ber_printf(ber.get(), format, value) == -1) return std::string();
  berval* flat = nullptr;
  if (ber_flatten(ber.get(), &flat) == -1 || flat == nullptr)
    return std::string();
  BervalPtr flatOwner(flat);
  return std::string(flat->bv_val, flat->bv_len);
}

}  // namespace

std::string EncodeIntegerSequence(int value) {
  return Encode("{i}", static_cast<ber_int_t>(value));
}

std::string EncodeOctetStringSequence(const std::string& value) {
  return Encode("{s}", value.c_str());
}

}  // namespace talvex
