#include "frontend/command_line.h"

#include "support/secret_text.h"
#include "support/text_case.h"

namespace talvex {
namespace {

bool IsSwitchToken(std::string_view token) {
  if (token.empty()) return false;
  // A switch name never holds "/": a token such as /etc/talvex/corp.json is
  // an absolute path (an argument or a switch's value), not a switch.
  if (token[0] == '/') return token.find('/', 1) == std::string_view::npos;
  if (token[0] != '-') return false;
  return token.size() < 2 || token[1] < '0' || token[1] > '9';
}

// Switches whose value is a path: the token after them is their value
// whatever it starts with, so that "/policies.json" is no switch and "-"
// (standard input) no lone dash.
bool TakesAnyToken(const std::string& pending) {
  const std::string name = LowerCase(pending);
  return name == "sync" || name == "audit";
}

std::string SwitchKey(std::string_view name, bool keepCase) {
  return keepCase ? std::string(name) : LowerCase(name);
}

}  // namespace

bool CommandLine::HasSwitch(std::string_view name) const {
  return switches.count(SwitchKey(name, keepCase)) != 0;
}

std::string CommandLine::SwitchValue(std::string_view name,
                                     std::string_view defaultValue) const {
  auto found = switches.find(SwitchKey(name, keepCase));
  if (found == switches.end()) return std::string(defaultValue);
  return found->second;
}

void CommandLine::TakeSwitchValue(std::string_view name, std::string* value) {
  auto found = switches.find(SwitchKey(name, keepCase));
  if (found == switches.end()) return;
  value->swap(found->second);
  WipeSecret(&found->second);
}

int CommandLine::ArgumentCount() const {
  return static_cast<int>(arguments.size());
}

int CommandLine::SwitchCount() const {
  return static_cast<int>(switches.size());
}

int CommandLine::ValidateSwitches(const SwitchTable& table) {
  // A flag takes no value: what the sorting gave it is an argument.
  for (const std::string& entry : table) {
    SwitchDeclaration declaration = ReadSwitchDeclaration(entry);
    if (declaration.kind != SwitchKind::kFlag) continue;
    auto found = switches.find(std::string(declaration.name));
    if (found != switches.end() && !found->second.empty()) {
      arguments.push_back(found->second);
      found->second.clear();
    }
  }

  // +1 for each switch given, -1 for each name declared: what is left at +1
  // was given but not declared, at -1 declared but not given.
  std::map<std::string, int> counts;
  for (const auto& [name, value] : switches) counts[name] += 1;
  for (const std::string& entry : table) {
    counts[std::string(ReadSwitchDeclaration(entry).name)] -= 1;
  }

  unknownSwitches.clear();
  for (const auto& [name, count] : counts) {
    if (count == 1) unknownSwitches.push_back(name);
  }
  unknownCount = static_cast<int>(unknownSwitches.size());

  missingSwitches.clear();
  for (const std::string& entry : table) {
    SwitchDeclaration declaration = ReadSwitchDeclaration(entry);
    if (declaration.kind == SwitchKind::kRequiredValue &&
        counts[std::string(declaration.name)] == -1) {
      missingSwitches.emplace_back(declaration.name);
    }
  }
  missingCount = static_cast<int>(missingSwitches.size());
  return unknownCount + missingCount;
}

CommandLine BuildCommandLine(int argc, const char* const* argv, bool keepCase) {
  CommandLine commandLine;
  commandLine.keepCase = keepCase;
  if (argv == nullptr || argc < 1) return commandLine;
  if (argv[0] != nullptr) commandLine.programPath = argv[0];

  // An empty pending name means none is pending (a lone "-" switch takes
  // no value).
  std::string pending;
  for (int i = 1; i < argc && argv[i] != nullptr; ++i) {
    std::string_view token = argv[i];
    if (!pending.empty() && TakesAnyToken(pending)) {
      commandLine.switches[pending].assign(token);
      pending.clear();
    } else if (IsSwitchToken(token)) {
      pending = SwitchKey(token.substr(1), keepCase);
      commandLine.switches[pending].clear();  // a repeat loses its value
    } else if (!pending.empty()) {
      // Straight into the table: a temporary would leave a copy of a
      // password behind.
      commandLine.switches[pending].assign(token);
      pending.clear();
    } else {
      commandLine.arguments.emplace_back(token);
    }
  }
  return commandLine;
}

}  // namespace talvex
