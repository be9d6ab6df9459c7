#include "operations/json_document.h"

#include "directory/distinguished_name.h"
#include "policy/policy_display.h"
#include "policy/policy_settings.h"
#include "support/interval.h"
#include "support/output.h"

namespace talvex {
namespace {

constexpr int kFormatVersion = 1;
constexpr int kIndent = 2;

JsonDocument Duration(int count) {
  if (count == kNeverCount) return nullptr;
  return count;
}

JsonDocument Place(const std::string& site, const std::string& name) {
  return {{"site", TextOrNull(site)}, {"name", TextOrNull(name)}};
}

}  // namespace

JsonDocument TextOrNull(const std::string& text) {
  if (text.empty()) return nullptr;
  return text;
}

JsonDocument DocumentHead(const RunState& state, const std::string& action) {
  JsonDocument head;
  head["formatVersion"] = kFormatVersion;
  head["action"] = action;
  head["controller"] = Place(state.controllerSite, state.controllerName);
  head["globalCatalog"] = state.gcName.empty()
                              ? JsonDocument(nullptr)
                              : Place(state.gcSite, state.gcName);
  head["domain"] = {{"dn", state.domainDn},
                    {"dnsName", DNToDNSName(state.domainDn)}};
  return head;
}

JsonDocument PolicyJson(const PolicyRecord& record) {
  JsonDocument policy;
  policy["type"] = record.isPSO() ? "pso" : "domainPolicy";
  policy["domain"] = record.domain();
  policy["dn"] = record.dn();
  policy["name"] = record.name();
  policy["canonicalName"] = record.canonicalName();
  policy["displayName"] = record.displayName();
  policy["precedence"] = record.precedence();
  policy["settings"] = SettingsJson(record);
  return policy;
}

JsonDocument SettingsJson(const PolicyRecord& record) {
  JsonDocument settings = JsonDocument::object();
  for (SettingId id : ListedSettings())
    settings[Setting(id).jsonKey] = SettingJson(id, record.Value(id));
  return settings;
}

JsonDocument SettingJson(SettingId id, int value) {
  switch (Setting(id).unit) {
    case SettingUnit::kCount:
      return value;
    case SettingUnit::kDays:
    case SettingUnit::kMinutes:
      return Duration(value);
    case SettingUnit::kBoolean:
      return value != 0;
  }
  return value;
}

void PrintJsonDocument(const JsonDocument& document) {
  // Directory texts are UTF-8; a byte sequence that is not (a damaged or
  // binary value) becomes U+FFFD instead of failing the whole answer.
  PrintDocument(document.dump(kIndent, ' ', /*ensure_ascii=*/false,
                              JsonDocument::error_handler_t::replace) +
                "\n");
}

}  // namespace talvex
