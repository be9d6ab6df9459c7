// The controller a run located, named to the Kerberos library as the KDC of
// its domain for the length of one bind.
#pragma once

#include <string>

namespace talvex {

// Left to itself, the Kerberos library finds a KDC of the realm on its own:
// DNS URI and SRV questions for the KDC (and for the primary KDC after some
// errors), then UDP before TCP. The controller the run located is a KDC of
// its domain, so for the life of this object the library reads first a
// profile of our own that names that controller as the KDC and primary KDC
// of the realm and prefers TCP (AD's tickets with their PACs rarely fit a
// datagram, and a UDP try is answered with "response too big"), then the user's own profile files as they were (KRB5_CONFIG or
// the library's default), so every other setting stays the user's. This is
// what adcli does for its joins (library/adkrb5.c, krb5 profile of the
// discovered controller).
//
// The realm is the controller's DNS domain in capitals: an AD domain is a
// realm of that name, and a controller's host name lies in its domain's
// DNS namespace unless the domain's namespace is disjoint; then the profile
// names a realm no one asks about and the library finds the KDC as before.
// Nothing is changed when the user's profile names KDCs of that realm (the
// library looks nothing up then), for an address, or when the profile
// cannot be written.
class Krb5KdcProfile {
 public:
  explicit Krb5KdcProfile(const std::string& controllerHost);
  ~Krb5KdcProfile();
  Krb5KdcProfile(const Krb5KdcProfile&) = delete;
  Krb5KdcProfile& operator=(const Krb5KdcProfile&) = delete;

  // The profile text for the host (empty: nothing to name).
  static std::string ProfileText(const std::string& controllerHost);

 private:
  std::string path_;  // the temporary profile; empty when none was written
  bool hadConfig_ = false;
  std::string savedConfig_;
};

}  // namespace talvex
