#include "policy/policy_code.h"

#include <limits>
#include <nlohmann/json.hpp>

#include "policy/json_input.h"
#include "policy/policy_rules.h"
#include "support/interval.h"

namespace talvex {
namespace {

using Json = nlohmann::json;

bool Fail(ParseFailure* failure, const std::string& place,
          const std::string& reason) {
  *failure = {place, reason};
  return false;
}

bool IsInt(const Json& value) {
  return value.is_number_integer() &&
         value.get<std::int64_t>() >= std::numeric_limits<int>::min() &&
         value.get<std::int64_t>() <= std::numeric_limits<int>::max();
}

// Only the keys named may appear.
bool OnlyKeys(const Json& object, const std::string& place,
              std::initializer_list<const char*> keys, ParseFailure* failure) {
  for (const auto& [key, value] : object.items()) {
    bool known = false;
    for (const char* name : keys) known = known || key == name;
    if (!known) return Fail(failure, place + "/" + key, "unknown key");
  }
  return true;
}

// A text, null or absent: "" for the last two.
bool OptionalText(const Json& object, const char* key, const std::string& place,
                  std::string* text, ParseFailure* failure) {
  if (!object.contains(key) || object[key].is_null()) return true;
  if (!object[key].is_string())
    return Fail(failure, place + "/" + key, "expected a text or null");
  *text = object[key].get<std::string>();
  return true;
}

// The nine settings, each given, in the units of the -json output.
bool ReadSettings(const Json& json, const std::string& place,
                  PolicyRecord* record, ParseFailure* failure) {
  if (!json.is_object())
    return Fail(failure, place, "expected an object of the nine settings");
  for (const auto& [key, value] : json.items()) {
    const PolicySetting* setting = SettingOfJsonKey(key);
    const std::string at = place + "/" + key;
    if (setting == nullptr)
      return Fail(failure, at,
                  "unknown key; the settings are " + SettingKeys());
    switch (setting->unit) {
      case SettingUnit::kBoolean:
        if (!value.is_boolean())
          return Fail(failure, at, "expected true or false");
        record->SetValue(setting->id, value.get<bool>() ? 1 : 0);
        break;
      case SettingUnit::kDays:
      case SettingUnit::kMinutes:
        if (value.is_null()) {
          record->SetValue(setting->id, kNeverCount);
        } else if (IsInt(value) && value.get<int>() >= 0) {
          record->SetValue(setting->id, value.get<int>());
        } else {
          return Fail(failure, at,
                      std::string("expected whole ") + UnitName(*setting) +
                          " (0 or more) or null for never");
        }
        break;
      case SettingUnit::kCount:
        if (!IsInt(value)) return Fail(failure, at, "expected a whole number");
        record->SetValue(setting->id, value.get<int>());
        break;
    }
  }
  for (SettingId id :
       {SettingId::kLockoutThreshold, SettingId::kLockoutDuration,
        SettingId::kLockoutObservation, SettingId::kMinPwdAge,
        SettingId::kMaxPwdAge, SettingId::kMinPwdLength, SettingId::kPwdHistory,
        SettingId::kComplexity, SettingId::kReversible}) {
    if (!json.contains(Setting(id).jsonKey))
      return Fail(failure, place + "/" + Setting(id).jsonKey, "missing");
  }
  return true;
}

bool ReadSubject(const Json& json, const std::string& place,
                 CodeSubject* subject, ParseFailure* failure) {
  if (!json.is_object()) return Fail(failure, place, "expected an object");
  if (!OnlyKeys(json, place, {"dn", "accountName", "objectSid", "objectClass"},
                failure))
    return false;
  subject->place = place;
  std::string objectClass;
  if (!OptionalText(json, "dn", place, &subject->dn, failure) ||
      !OptionalText(json, "accountName", place, &subject->accountName,
                    failure) ||
      !OptionalText(json, "objectSid", place, &subject->objectSid, failure) ||
      !OptionalText(json, "objectClass", place, &objectClass, failure))
    return false;
  if (subject->dn.empty() && subject->accountName.empty() &&
      subject->objectSid.empty())
    return Fail(failure, place, "expected a dn, accountName or objectSid");
  return true;
}

bool ReadPso(const Json& json, const std::string& place, CodePso* pso,
             ParseFailure* failure) {
  if (!json.is_object()) return Fail(failure, place, "expected an object");
  if (!OnlyKeys(json, place,
                {"name", "displayName", "precedence", "settings", "objectGUID",
                 "subjects"},
                failure))
    return false;
  pso->place = place;
  if (!json.contains("name") || !json["name"].is_string() ||
      json["name"].get<std::string>().empty())
    return Fail(failure, place + "/name", "expected the PSO's name");
  pso->record.SetName(json["name"].get<std::string>());
  if (json.contains("displayName") && !json["displayName"].is_null()) {
    std::string displayName;
    if (!OptionalText(json, "displayName", place, &displayName, failure))
      return false;
    pso->record.SetDisplayName(displayName);
    pso->hasDisplayName = true;
  }
  if (!json.contains("precedence") || !IsInt(json["precedence"]))
    return Fail(failure, place + "/precedence", "expected a whole number");
  pso->record.SetValue(SettingId::kPrecedence, json["precedence"].get<int>());
  if (!json.contains("settings"))
    return Fail(failure, place + "/settings", "missing");
  if (!ReadSettings(json["settings"], place + "/settings", &pso->record,
                    failure))
    return false;
  if (!OptionalText(json, "objectGUID", place, &pso->objectGuid, failure))
    return false;
  if (json.contains("subjects")) {
    const Json& subjects = json["subjects"];
    if (!subjects.is_array())
      return Fail(failure, place + "/subjects", "expected an array");
    for (std::size_t i = 0; i < subjects.size(); ++i) {
      CodeSubject subject;
      if (!ReadSubject(subjects[i], place + "/subjects/" + std::to_string(i),
                       &subject, failure))
        return false;
      pso->subjects.push_back(std::move(subject));
    }
  }
  return true;
}

bool ReadCode(const Json& json, PolicyCode* code, ParseFailure* failure) {
  if (!json.is_object())
    return Fail(failure, "/", "the document is a JSON object");
  if (!OnlyKeys(json, "", {"formatVersion", "domain", "domainPolicy", "psos"},
                failure))
    return false;
  if (!json.contains("formatVersion") || json["formatVersion"] != 1)
    return Fail(failure, "/formatVersion", "expected 1");
  if (json.contains("domain") && !json["domain"].is_object())
    return Fail(failure, "/domain", "expected an object");
  if (json.contains("domainPolicy")) {
    const Json& policy = json["domainPolicy"];
    if (!policy.is_object())
      return Fail(failure, "/domainPolicy", "expected an object");
    if (!OnlyKeys(policy, "/domainPolicy", {"settings"}, failure)) return false;
    if (!policy.contains("settings"))
      return Fail(failure, "/domainPolicy/settings", "missing");
    if (!ReadSettings(policy["settings"], "/domainPolicy/settings",
                      &code->domainPolicy, failure))
      return false;
    code->hasDomainPolicy = true;
  }
  if (!json.contains("psos") || !json["psos"].is_array())
    return Fail(failure, "/psos", "expected an array");
  for (std::size_t i = 0; i < json["psos"].size(); ++i) {
    CodePso pso;
    if (!ReadPso(json["psos"][i], "/psos/" + std::to_string(i), &pso, failure))
      return false;
    code->psos.push_back(std::move(pso));
  }
  return true;
}

void AddRuleLines(const std::string& place, const PolicyRecord& record,
                  std::vector<std::string>* lines) {
  std::vector<std::string> broken = CheckPolicyRules(record);
  if (broken.empty()) return;
  lines->push_back("ERROR: At " + place + ":");
  lines->insert(lines->end(), broken.begin(), broken.end());
}

}  // namespace

bool ParsePolicyCode(std::string_view text, PolicyCode* code,
                     std::string* place, std::string* reason) {
  return ParseJsonDocument<Json>(text, code, place, reason, ReadCode);
}

std::vector<std::string> CheckPolicyCodeRules(const PolicyCode& code) {
  std::vector<std::string> lines;
  if (code.hasDomainPolicy) {
    // A domain policy has no precedence; the rules' range for it does not
    // apply.
    PolicyRecord domainPolicy = code.domainPolicy;
    domainPolicy.SetValue(SettingId::kPrecedence, 1);
    AddRuleLines("/domainPolicy", domainPolicy, &lines);
  }
  for (const CodePso& pso : code.psos)
    AddRuleLines(pso.place, pso.record, &lines);
  return lines;
}

}  // namespace talvex
