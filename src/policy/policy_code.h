// A domain's policies as a document kept in version control: what -export
// writes and -sync reads (docs/talvex-policies.schema.json).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "policy/policy_record.h"

namespace talvex {

// An object a PSO is to apply to, by any of the names a sync finds it by;
// at least one is given.
struct CodeSubject {
  std::string dn;
  std::string accountName;
  std::string objectSid;
  std::string place;  // its JSON pointer, for messages
};

struct CodePso {
  std::string place;  // "/psos/3"
  std::string objectGuid;
  bool hasDisplayName = false;
  // Name, display name, precedence and the nine settings.
  PolicyRecord record{true};
  std::vector<CodeSubject> subjects;
};

struct PolicyCode {
  bool hasDomainPolicy = false;
  PolicyRecord domainPolicy;
  std::vector<CodePso> psos;
};

// Reads a document; on failure *place is a JSON pointer (or the line and
// column of a syntax error) and *reason says what is wrong there. Values
// are only type-checked here: Windows' rules are CheckPolicyCodeRules'.
bool ParsePolicyCode(std::string_view text, PolicyCode* code,
                     std::string* place, std::string* reason);

// Error lines of every policy of the document that breaks Windows' rules,
// each group headed "ERROR: At <place>:".
std::vector<std::string> CheckPolicyCodeRules(const PolicyCode& code);

}  // namespace talvex
