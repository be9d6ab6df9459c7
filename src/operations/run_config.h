// The run configuration: everything the command line asked for.
#pragma once

#include <cstdint>
#include <string>

#include "policy/audit_profile.h"
#include "policy/policy_code.h"
#include "policy/policy_record.h"

namespace talvex {

// Single-bit values; the executor prints the number in a debug line.
enum class ActionCode : std::int32_t {
  kNone = 0,
  kModify = 1,
  kDelete = 2,
  kMultiDelete = 4,
  kRename = 8,
  kAdd = 16,
  kView = 32,
  kQuickStart = 64,
  kApplied = 512,
  kApplyTo = 1024,
  kUnApplyTo = 2048,
  kClearApplied = 4096,
  kEffective = 8192,
  kAudit = 16384,
  kCoverage = 32768,
  kExport = 65536,
  kSync = 131072,
};

struct RunConfig {
  ActionCode action = ActionCode::kNone;
  std::string gcHost;
  std::string host;
  std::string domain;
  int port = 0;
  bool simpleBind = false;
  bool ssl = false;       // -ssl: LDAPS (636, 3269) for every connection
  bool startTls = false;  // -starttls: StartTLS before every bind
  std::string userId;
  std::string password;
  bool override = false;
  bool forReal = false;
  bool dnOnly = false;
  bool dnWithPrecedence = false;
  int sortByPrecedence = 0;
  bool json = false;  // the answer as one JSON document (-json)
  bool domainPolicySelected = false;
  bool allDomainsForDomainPolicy = false;
  bool allDomainsForPsos = false;
  bool psoSelected = false;
  std::string psoName;
  bool usedOnly = false;
  bool unusedOnly = false;
  std::string renameTo;
  std::string memberTarget;
  std::string effectiveUser;
  // -base: the subtree whose accounts -coverage reads.
  std::string coverageBase;
  AuditProfile auditProfile;  // -audit: read before any directory contact
  std::string syncFile;       // -sync: the document's path, "-" for stdin
  PolicyCode policyCode;      // -sync: read before any directory contact
  bool prune = false;         // -sync -prune: delete the PSOs it does not name
  PolicyRecord addSpec{true};
  PolicyRecord modSpec{false, true};
};

}  // namespace talvex
