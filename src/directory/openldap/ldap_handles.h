// Owners of libldap/liblber allocations. Every release call of those
// libraries that our code needs is made here and nowhere else.
#pragma once

#include <lber.h>
#include <ldap.h>

#include <memory>

namespace talvex {

struct LdapHandleDeleter {
  // ldap_unbind_ext closes the connection (if any) and frees the handle.
  void operator()(LDAP* ld) const { ldap_unbind_ext(ld, nullptr, nullptr); }
};
using LdapHandle = std::unique_ptr<LDAP, LdapHandleDeleter>;

struct LdapMessageDeleter {
  void operator()(LDAPMessage* message) const { ldap_msgfree(message); }
};
using LdapMessagePtr = std::unique_ptr<LDAPMessage, LdapMessageDeleter>;

struct BerElementDeleter {
  // Attribute walks hand out a BerElement that does not own its buffer.
  void operator()(BerElement* ber) const { ber_free(ber, 0); }
};
using BerElementPtr = std::unique_ptr<BerElement, BerElementDeleter>;

// A BerElement we created to encode or decode a message: it owns its buffer.
struct OwningBerElementDeleter {
  void operator()(BerElement* ber) const { ber_free(ber, 1); }
};
using OwningBerElementPtr =
    std::unique_ptr<BerElement, OwningBerElementDeleter>;

struct BervalArrayDeleter {
  void operator()(berval** values) const { ldap_value_free_len(values); }
};
using BervalArrayPtr = std::unique_ptr<berval*, BervalArrayDeleter>;

struct BerVarrayDeleter {
  void operator()(BerVarray values) const { ber_bvarray_free(values); }
};
using BerVarrayPtr = std::unique_ptr<berval, BerVarrayDeleter>;

struct BervalDeleter {
  void operator()(berval* value) const { ber_bvfree(value); }
};
using BervalPtr = std::unique_ptr<berval, BervalDeleter>;

struct LdapControlDeleter {
  void operator()(LDAPControl* control) const { ldap_control_free(control); }
};
using LdapControlPtr = std::unique_ptr<LDAPControl, LdapControlDeleter>;

struct LdapControlArrayDeleter {
  void operator()(LDAPControl** controls) const {
    ldap_controls_free(controls);
  }
};
using LdapControlArrayPtr =
    std::unique_ptr<LDAPControl*, LdapControlArrayDeleter>;

// Strings that libldap allocates (DNs, attribute names, option values).
struct LdapMemoryDeleter {
  void operator()(char* text) const { ldap_memfree(text); }
};
using LdapStringPtr = std::unique_ptr<char, LdapMemoryDeleter>;

// Bytes that liblber allocates (a paging cookie).
struct BerMemoryDeleter {
  void operator()(char* bytes) const { ber_memfree(bytes); }
};
using BerMemoryPtr = std::unique_ptr<char, BerMemoryDeleter>;

// A DN split by ldap_str2dn.
struct LdapDnDeleter {
  void operator()(LDAPDN dn) const { ldap_dnfree(dn); }
};
using LdapDnPtr = std::unique_ptr<LDAPRDN, LdapDnDeleter>;

}  // namespace talvex
