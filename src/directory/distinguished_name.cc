#include "directory/distinguished_name.h"

#include <algorithm>
#include <array>
#include <utility>

#include "support/text_case.h"

namespace talvex {
namespace {

bool IsAlpha(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Blanks around separators and at a value's end do not count. The LDAP
// client libraries take tabs and line ends for blanks there too.
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// Printable ASCII characters that a value may hold as they are anywhere,
// as a table: values are read a character at a time.
constexpr std::array<bool, 256> kPlainAscii = [] {
  std::array<bool, 256> plain{};
  for (int c = '!'; c < 0x7F; ++c) plain[c] = true;
  for (char c : std::string_view(",+\\\";<>")) {
    plain[static_cast<unsigned char>(c)] = false;
  }
  return plain;
}();

bool IsPlainAscii(char c) { return kPlainAscii[static_cast<unsigned char>(c)]; }

int HexDigit(char c) {
  if (IsDigit(c)) return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Characters that a value must escape, and that may follow a "\" as they
// are (RFC 4514 section 2.4), besides the blank.
bool IsSpecial(char c) {
  return c == '"' || c == '+' || c == ',' || c == ';' || c == '<' || c == '>' ||
         c == '\\' || c == '=' || c == '#';
}

// Checks that the bytes of a value, its escapes undone, are UTF-8: a DN's
// values are UTF-8 strings (RFC 4514 section 3), and a value that is not
// names no entry.
class Utf8Check {
 public:
  bool Take(char c) {
    unsigned char byte = static_cast<unsigned char>(c);
    if (pending_ > 0) {
      if ((byte & 0xC0) != 0x80) return false;
      --pending_;
      return true;
    }
    if (byte < 0x80) return true;
    if (byte >= 0xC2 && byte <= 0xDF) {
      pending_ = 1;
    } else if (byte >= 0xE0 && byte <= 0xEF) {
      pending_ = 2;
    } else if (byte >= 0xF0 && byte <= 0xF4) {
      pending_ = 3;
    } else {
      return false;
    }
    return true;
  }
  bool Complete() const { return pending_ == 0; }

 private:
  int pending_ = 0;
};

// Reads a DN from left to right. Leniencies kept from the LDAP client
// libraries' readers, since DNs typed by users come with them: blanks
// around "=", "+" and ",", and options after a type ("cn;lang-en"), which
// name no other attribute and are dropped.
class DnReader {
 public:
  DnReader(std::string_view text, bool decode) : text_(text), decode_(decode) {}

  bool AtEnd() const { return pos_ == text_.size(); }

  void SkipBlanks() {
    while (pos_ < text_.size() && IsBlank(text_[pos_])) {
      if (text_[pos_] != ' ') spanEnd_ = pos_ + 1;
      ++pos_;
    }
  }

  // One RDN: its text and, when decoding, its attributes.
  bool ReadRdn(std::string_view* span, std::vector<DnAttribute>* attributes) {
    while (pos_ < text_.size() && text_[pos_] == ' ') ++pos_;
    std::size_t start = pos_;
    spanEnd_ = pos_;
    SkipBlanks();
    while (true) {
      DnAttribute attribute;
      if (!ReadType(&attribute.type)) return false;
      SkipBlanks();
      if (AtEnd() || text_[pos_] != '=') return false;
      spanEnd_ = ++pos_;
      SkipBlanks();
      if (!ReadValue(&attribute.value)) return false;
      if (decode_) attributes->push_back(std::move(attribute));
      SkipBlanks();
      if (AtEnd() || text_[pos_] != '+') break;
      spanEnd_ = ++pos_;
      SkipBlanks();
    }
    *span = text_.substr(start, spanEnd_ - start);
    return true;
  }

  // The separator after an RDN; false when something else follows. An RDN
  // must come after it.
  bool ReadSeparator() {
    if (AtEnd() || text_[pos_] != ',') return false;
    ++pos_;
    return true;
  }

 private:
  // A descriptor ("CN", "msDS-PSOAppliesTo") or a numeric OID ("2.5.4.3").
  bool ReadType(std::string* type) {
    std::size_t start = pos_;
    if (AtEnd()) return false;
    if (IsAlpha(text_[pos_])) {
      std::size_t options = std::string_view::npos;
      while (pos_ < text_.size() &&
             (IsAlpha(text_[pos_]) || IsDigit(text_[pos_]) ||
              text_[pos_] == '-' || text_[pos_] == ';')) {
        if (text_[pos_] == ';' && options == std::string_view::npos) {
          options = pos_;
        }
        ++pos_;
      }
      if (decode_) {
        type->assign(text_.substr(start, std::min(pos_, options) - start));
      }
      return true;
    }
    if (!IsDigit(text_[pos_])) return false;
    while (true) {
      if (AtEnd() || !IsDigit(text_[pos_])) return false;
      while (pos_ < text_.size() && IsDigit(text_[pos_])) ++pos_;
      if (AtEnd() || text_[pos_] != '.') break;
      ++pos_;
    }
    if (decode_) type->assign(text_.substr(start, pos_ - start));
    return true;
  }

  bool ReadValue(std::string* value) {
    if (!AtEnd() && text_[pos_] == '#') return ReadHexValue(value);
    return ReadStringValue(value);
  }

  bool ReadHexValue(std::string* value) {
    ++pos_;
    std::size_t start = pos_;
    while (pos_ + 1 < text_.size() && HexDigit(text_[pos_]) >= 0 &&
           HexDigit(text_[pos_ + 1]) >= 0) {
      if (decode_) {
        *value += static_cast<char>(HexDigit(text_[pos_]) * 16 +
                                    HexDigit(text_[pos_ + 1]));
      }
      pos_ += 2;
    }
    if (pos_ == start) return false;
    spanEnd_ = pos_;
    return AtEnd() || IsBlank(text_[pos_]) || text_[pos_] == ',' ||
           text_[pos_] == '+';
  }

  bool ReadStringValue(std::string* value) {
    std::size_t kept = 0;  // length of the value up to its last counted byte
    Utf8Check utf8;
    while (!AtEnd()) {
      // A run of plain ASCII characters, most of every value, in one step.
      std::size_t run = pos_;
      while (run < text_.size() && IsPlainAscii(text_[run])) ++run;
      if (run > pos_ && utf8.Complete()) {
        if (decode_) value->append(text_.substr(pos_, run - pos_));
        pos_ = run;
        spanEnd_ = pos_;
        kept = value->size();
        continue;
      }
      char c = text_[pos_];
      if (c == ',' || c == '+') break;
      bool escaped = c == '\\';
      if (escaped) {
        if (!ReadEscape(&c)) return false;
      } else if (c == '"' || c == ';' || c == '<' || c == '>' || c == '\0') {
        return false;
      } else {
        ++pos_;
      }
      if (!utf8.Take(c)) return false;
      if (decode_) *value += c;
      // The RDN's text ends at its last character other than a blank, as
      // written; the value at its last character that is no blank of any
      // kind.
      if (escaped || c != ' ') spanEnd_ = pos_;
      if (escaped || !IsBlank(c)) kept = value->size();
    }
    if (decode_) value->erase(kept);
    return utf8.Complete();
  }

  // "\" and a special character, a blank or two hex digits.
  bool ReadEscape(char* c) {
    if (pos_ + 1 >= text_.size()) return false;
    char next = text_[pos_ + 1];
    if (IsSpecial(next) || IsBlank(next)) {
      *c = next;
      pos_ += 2;
      return true;
    }
    if (pos_ + 2 < text_.size() && HexDigit(next) >= 0 &&
        HexDigit(text_[pos_ + 2]) >= 0) {
      *c = static_cast<char>(HexDigit(next) * 16 + HexDigit(text_[pos_ + 2]));
      pos_ += 3;
      return true;
    }
    return false;
  }

  std::string_view text_;
  bool decode_;
  std::size_t pos_ = 0;
  // Just past the current RDN's last character that is not a blank
  // outside its values, which its text ends with.
  std::size_t spanEnd_ = 0;
};

template <typename OnRdn>
bool ReadDn(std::string_view text, bool decode, OnRdn onRdn) {
  if (text.empty()) return true;
  DnReader reader(text, decode);
  while (true) {
    std::string_view span;
    std::vector<DnAttribute> attributes;
    if (!reader.ReadRdn(&span, &attributes)) return false;
    onRdn(span, std::move(attributes));
    if (reader.AtEnd()) return true;
    if (!reader.ReadSeparator()) return false;
  }
}

// An RDN's attributes in one comparable form: types and values lower-cased,
// in sorted order.
std::vector<std::pair<std::string, std::string>> ComparableRdn(
    const RelativeDn& rdn) {
  std::vector<std::pair<std::string, std::string>> pairs;
  for (const DnAttribute& attribute : rdn.attributes) {
    pairs.emplace_back(AsciiLowerCase(attribute.type),
                       LowerCase(attribute.value));
  }
  std::sort(pairs.begin(), pairs.end());
  return pairs;
}

}  // namespace

bool DistinguishedName::Parse(std::string_view text, DistinguishedName* dn) {
  std::vector<RelativeDn> rdns;
  bool ok = ReadDn(text, true,
                   [&](std::string_view span, std::vector<DnAttribute> values) {
                     rdns.push_back({std::string(span), std::move(values)});
                   });
  if (ok) dn->rdns_ = std::move(rdns);
  return ok;
}

namespace {

// The RDNs of a DN written in the plain form that directories send nearly
// always: every RDN one "type=value" with a descriptor for the type and a
// value of printable ASCII without escapes, quotes, "+", "#" at its start
// or blanks at its ends. Such a DN is read in one pass, each RDN's text
// handed to onRdn; false for any other text (after handing over the RDNs
// before the first that is not plain), which the full reader then takes.
// For every text this accepts, the RDNs are those the full reader gives.
template <typename OnRdn>
bool ReadPlainDn(std::string_view text, OnRdn onRdn) {
  std::size_t pos = 0;
  const std::size_t size = text.size();
  while (true) {
    const std::size_t start = pos;
    if (pos == size || !IsAlpha(text[pos])) return false;
    while (pos < size &&
           (IsAlpha(text[pos]) || IsDigit(text[pos]) || text[pos] == '-')) {
      ++pos;
    }
    if (pos == size || text[pos] != '=') return false;
    ++pos;
    const std::size_t value = pos;
    if (pos == size || text[pos] == '#') return false;
    while (pos < size && (IsPlainAscii(text[pos]) || text[pos] == ' ')) ++pos;
    if (pos == value || text[value] == ' ' || text[pos - 1] == ' ') {
      return false;
    }
    onRdn(text.substr(start, pos - start));
    if (pos == size) return true;
    if (text[pos] != ',') return false;
    ++pos;
  }
}

// Each RDN's text in turn, the plain form first; `restart` drops what
// onRdn kept when the plain reading gives up and the full reader starts over.
template <typename OnRdn, typename Restart>
bool ReadRdnTexts(std::string_view text, OnRdn onRdn, Restart restart) {
  if (ReadPlainDn(text, onRdn)) return true;
  restart();
  return ReadDn(
      text, false,
      [&](std::string_view span, std::vector<DnAttribute>) { onRdn(span); });
}

}  // namespace

bool DistinguishedName::Split(std::string_view text,
                              std::vector<std::string_view>* rdns) {
  rdns->clear();
  rdns->reserve(8);  // a PSO's DN has six or seven RDNs
  return ReadRdnTexts(
      text, [&](std::string_view span) { rdns->push_back(span); },
      [&] { rdns->clear(); });
}

std::string EscapeRdnValue(std::string_view value) {
  std::string escaped;
  escaped.reserve(value.size());
  for (std::size_t i = 0; i < value.size(); ++i) {
    char c = value[i];
    if (c == '\0') {
      escaped += "\\00";
      continue;
    }
    bool special = (IsSpecial(c) && c != '#') ||
                   (i == 0 && (c == '#' || c == ' ')) ||
                   (i + 1 == value.size() && c == ' ');
    if (special) escaped += '\\';
    escaped += c;
  }
  return escaped;
}

bool SameDn(std::string_view a, std::string_view b) {
  DistinguishedName first;
  DistinguishedName second;
  if (!DistinguishedName::Parse(a, &first) ||
      !DistinguishedName::Parse(b, &second)) {
    return LowerCase(a) == LowerCase(b);
  }
  if (first.rdns().size() != second.rdns().size()) return false;
  for (std::size_t i = 0; i < first.rdns().size(); ++i) {
    if (ComparableRdn(first.rdns()[i]) != ComparableRdn(second.rdns()[i])) {
      return false;
    }
  }
  return true;
}

std::string_view DnPart(std::string_view dn, int index) {
  if (dn.empty() || index < 0) return {};
  std::string_view found;
  int count = 0;
  auto take = [&](std::string_view span) {
    if (count++ == index) found = span;
  };
  auto restart = [&] {
    found = {};
    count = 0;
  };
  return ReadRdnTexts(dn, take, restart) ? found : std::string_view();
}

std::string GetDNPart(const std::string& dn, int index) {
  return std::string(DnPart(dn, index));
}

namespace {

// Where a component "dc=" (any ASCII case) next begins in dn, from `from`
// on: at the start of dn or after a ","; npos when nowhere.
std::size_t FindDcComponent(std::string_view dn, std::size_t from) {
  std::size_t at = from;
  while (at < dn.size()) {
    if ((at == 0 || dn[at - 1] == ',') && at + 3 <= dn.size() &&
        (dn[at] | 0x20) == 'd' && (dn[at + 1] | 0x20) == 'c' &&
        dn[at + 2] == '=') {
      return at;
    }
    std::size_t comma = dn.find(',', at);
    if (comma == std::string_view::npos) break;
    at = comma + 1;
  }
  return std::string_view::npos;
}

}  // namespace

// Plain text work, no parsing: the text cut at every ",dc=" (any case),
// the pieces from the first DC component on lower-cased and joined with
// dots.
std::string DNToDNSName(const std::string& dn) {
  const std::string_view text = dn;
  std::size_t at = FindDcComponent(text, 0);
  if (at == std::string_view::npos) return std::string();
  // Thousands of PSOs of one domain share the text from the first DC
  // component on: the last answer is kept for the next.
  thread_local std::string lastSuffix;
  thread_local std::string lastName;
  const std::string_view suffix = text.substr(at);
  if (suffix == lastSuffix) return lastName;
  std::string name;
  while (at != std::string_view::npos) {
    std::size_t start = at + 3;
    std::size_t next = FindDcComponent(text, start);
    std::size_t end = next == std::string_view::npos ? text.size() : next - 1;
    if (end > start) {
      if (!name.empty()) name += '.';
      name += LowerCase(text.substr(start, end - start));
    }
    at = next;
  }
  lastSuffix = suffix;
  lastName = name;
  return name;
}

std::string ReverseDN(const std::string& dn) {
  std::vector<std::string_view> rdns;
  if (!DistinguishedName::Split(dn, &rdns)) return std::string();
  std::string result;
  result.reserve(dn.size());
  for (auto rdn = rdns.rbegin(); rdn != rdns.rend(); ++rdn) {
    if (!result.empty()) result += ',';
    result += *rdn;
  }
  return result;
}

std::string DomainDnOf(std::string_view dn) {
  std::vector<std::string_view> rdns;
  if (!DistinguishedName::Split(dn, &rdns)) return std::string();
  for (std::string_view rdn : rdns) {
    if (EqualsIgnoringAsciiCase(rdn.substr(0, 3), "dc=")) {
      return std::string(dn.substr(rdn.data() - dn.data()));
    }
  }
  return std::string();
}

std::string RenamedRdn(std::string_view dn, std::string_view value) {
  std::vector<std::string_view> rdns;
  std::string_view type;
  if (DistinguishedName::Split(dn, &rdns) && !rdns.empty()) {
    type = rdns.front().substr(0, rdns.front().find('=') + 1);
  }
  return std::string(type) + EscapeRdnValue(value);
}

std::string RenamedDn(std::string_view dn, std::string_view value) {
  std::string renamed = RenamedRdn(dn, value);
  std::vector<std::string_view> rdns;
  if (DistinguishedName::Split(dn, &rdns) && rdns.size() > 1) {
    renamed += ',';
    renamed += dn.substr(rdns[1].data() - dn.data());
  }
  return renamed;
}

}  // namespace talvex
