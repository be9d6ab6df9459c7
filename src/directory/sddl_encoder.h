// Security descriptors as SDDL text (the form administrators read and the
// Windows and Samba tools print).
#pragma once

#include <string>
#include <string_view>

namespace talvex {

// SIDs (as "S-1-5-21-...") of the domain and of the forest root domain,
// for the domain-relative aliases (DA, DU, ... of the domain; EA, SA, ... of
// the root). Empty: such SIDs are written in full, as Windows writes the
// SIDs of domains other than its own.
struct SddlDomainSids {
  std::string domain;
  std::string rootDomain;
};

// Encodes a self-relative security descriptor: owner ("O:"), group ("G:"),
// DACL ("D:") and SACL ("S:") with their control flags (P, AR, AI,
// NO_ACCESS_CONTROL for a null list), ACE types, ACE flags, rights strings
// in the order of their bits (or the whole mask in hexadecimal when a bit
// has no string), object GUIDs in lower case and SID aliases. Returns ""
// when the bytes are not a well-formed descriptor.
std::string SecurityDescriptorToSddl(std::string_view bytes,
                                     const SddlDomainSids& sids = {});

}  // namespace talvex
