// What a PSO's link to an object does. Windows applies a PSO to users
// (inetOrgPerson is one) and to global security groups only: a link to a
// computer, a contact, a universal or domain-local group, a distribution
// group or an object of another domain is accepted by the directory and
// does nothing (MS-ADTS 3.1.1.5.2.4, msDS-ResultantPSO).
#pragma once

#include <string>
#include <vector>

namespace talvex {

// The PSO's list of the objects it applies to.
inline constexpr char kPsoAppliesToAttribute[] = "msDS-PSOAppliesTo";

struct PsoSubject {
  bool takesEffect = true;
  bool isGroup = false;
  // Universal security groups: Samba (4.17) counts them when it computes a
  // user's resultant PSO, Windows does not.
  bool universalSecurityGroup = false;
  // "user", "global security group", "universal distribution group", or
  // the object's most specific class.
  std::string kind = {};
};

// From the object's classes (most specific last) and its groupType text
// (a signed decimal); classes or a group's type empty when they could not
// be read, which counts as an object that takes effect (the server judges).
PsoSubject ClassifyPsoSubject(const std::vector<std::string>& classes,
                              const std::string& groupType);

}  // namespace talvex
