// Control values encoded with wldap32's BER encoder.
#include <windows.h>
#include <winldap.h>
#include <winber.h>

#include <memory>

#include "directory/search_controls.h"

namespace talvex {
namespace {

struct BerElementDeleter {
  void operator()(BerElement* ber) const { ber_free(ber, 1); }
};
struct BervalDeleter {
  void operator()(BERVAL* value) const { ber_bvfree(value); }
};
using BerElementPtr = std::unique_ptr<BerElement, BerElementDeleter>;
using BervalPtr = std::unique_ptr<BERVAL, BervalDeleter>;

// Encodes with the format, or returns "" when no BER element can be had.
template <typename Value>
std::string Encode(const char* format, Value value) {
  BerElementPtr ber(ber_alloc_t(LBER_USE_DER));
  if (!ber) return std::string();
  if (ber_printf(ber.get(), const_cast<PSTR>(format), value) == -1) {
    return std::string();
  }
  BERVAL* flat = nullptr;
  if (ber_flatten(ber.get(), &flat) == -1 || flat == nullptr) {
    return std::string();
  }
  BervalPtr flatOwner(flat);
  return std::string(flat->bv_val, flat->bv_len);
}

}  // namespace

std::string EncodeIntegerSequence(int value) { return Encode("{i}", value); }

std::string EncodeOctetStringSequence(const std::string& value) {
  return Encode("{s}", value.c_str());
}

}  // namespace talvex
