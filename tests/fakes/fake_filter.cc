#include "fakes/fake_filter.h"

#include <cstdint>
#include <cstdlib>

#include "support/text_case.h"

namespace talvex {

enum class NodeKind {
  kAnd,
  kOr,
  kNot,
  kEqual,
  kApprox,
  kGreaterOrEqual,
  kLessOrEqual,
  kPresent,
  kSubstring,
  kExtensible,
};

struct FakeFilter::Node {
  NodeKind kind = NodeKind::kEqual;
  std::vector<std::unique_ptr<Node>> children;
  std::string attribute;
  std::string value;  // unescaped
  // Substrings: initial, any..., final ("" where absent).
  std::string initial;
  std::vector<std::string> any;
  std::string final;
  std::string rule;  // extensible match rule OID
};

namespace {

using Node = FakeFilter::Node;

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// RFC 4515 value escapes: "\" followed by two hex digits.
bool Unescape(std::string_view text, std::string* out) {
  out->clear();
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '(' || c == ')') return false;
    if (c != '\\') {
      *out += c;
      continue;
    }
    if (i + 2 >= text.size()) return false;
    int high = HexDigit(text[i + 1]);
    int low = HexDigit(text[i + 2]);
    if (high < 0 || low < 0) return false;
    *out += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return true;
}

bool ValidAttribute(std::string_view name) {
  if (name.empty()) return false;
  for (char c : name) {
    bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
              (c >= '0' && c <= '9') || c == '-' || c == '.' || c == ';';
    if (!ok) return false;
  }
  return true;
}

class Parser {
 public:
  explicit Parser(std::string_view text) : text_(text) {}

  std::unique_ptr<Node> ParseWhole() {
    auto node = ParseFilter();
    if (!node || pos_ != text_.size()) return nullptr;
    return node;
  }

 private:
  // filter = "(" filtercomp ")"
  std::unique_ptr<Node> ParseFilter() {
    if (pos_ >= text_.size() || text_[pos_] != '(') return nullptr;
    ++pos_;
    if (pos_ >= text_.size()) return nullptr;
    std::unique_ptr<Node> node;
    char c = text_[pos_];
    if (c == '&' || c == '|') {
      ++pos_;
      node = std::make_unique<Node>();
      node->kind = c == '&' ? NodeKind::kAnd : NodeKind::kOr;
      while (pos_ < text_.size() && text_[pos_] == '(') {
        auto child = ParseFilter();
        if (!child) return nullptr;
        node->children.push_back(std::move(child));
      }
    } else if (c == '!') {
      ++pos_;
      node = std::make_unique<Node>();
      node->kind = NodeKind::kNot;
      auto child = ParseFilter();
      if (!child) return nullptr;
      node->children.push_back(std::move(child));
    } else if (c == '(') {
      return nullptr;  // a doubled pair: libldap refuses it
    } else {
      node = ParseItem();
      if (!node) return nullptr;
    }
    if (pos_ >= text_.size() || text_[pos_] != ')') return nullptr;
    ++pos_;
    return node;
  }

  std::unique_ptr<Node> ParseItem() {
    std::size_t end = text_.find(')', pos_);
    if (end == std::string_view::npos) return nullptr;
    std::string_view item = text_.substr(pos_, end - pos_);
    pos_ = end;
    std::size_t eq = item.find('=');
    if (eq == std::string_view::npos || eq == 0) return nullptr;
    auto node = std::make_unique<Node>();
    std::string_view attribute = item.substr(0, eq);
    std::string_view raw = item.substr(eq + 1);
    char before = attribute.back();
    if (before == ':') {
      // attr[:dn][:rule]:=value
      attribute.remove_suffix(1);
      std::size_t colon = attribute.find(':');
      if (colon == std::string_view::npos) return nullptr;
      std::string_view options = attribute.substr(colon + 1);
      attribute = attribute.substr(0, colon);
      if (options.starts_with("dn:")) options.remove_prefix(3);
      node->kind = NodeKind::kExtensible;
      node->rule = std::string(options);
    } else if (before == '>' || before == '<' || before == '~') {
      attribute.remove_suffix(1);
      node->kind = before == '>'   ? NodeKind::kGreaterOrEqual
                   : before == '<' ? NodeKind::kLessOrEqual
                                   : NodeKind::kApprox;
    } else if (raw == "*") {
      node->kind = NodeKind::kPresent;
    } else if (raw.find('*') != std::string_view::npos) {
      node->kind = NodeKind::kSubstring;
    } else {
      node->kind = NodeKind::kEqual;
    }
    if (!ValidAttribute(attribute)) return nullptr;
    node->attribute = std::string(attribute);
    if (node->kind == NodeKind::kPresent) return node;
    if (node->kind == NodeKind::kSubstring) {
      std::vector<std::string> pieces;
      std::size_t start = 0;
      while (true) {
        std::size_t star = raw.find('*', start);
        std::string piece;
        if (!Unescape(raw.substr(start, star == std::string_view::npos
                                            ? std::string_view::npos
                                            : star - start),
                      &piece)) {
          return nullptr;
        }
        pieces.push_back(piece);
        if (star == std::string_view::npos) break;
        start = star + 1;
      }
      node->initial = pieces.front();
      node->final = pieces.back();
      for (std::size_t i = 1; i + 1 < pieces.size(); ++i) {
        if (!pieces[i].empty()) node->any.push_back(pieces[i]);
      }
      return node;
    }
    if (!Unescape(raw, &node->value)) return nullptr;
    return node;
  }

  std::string_view text_;
  std::size_t pos_ = 0;
};

bool ParseInteger(const std::string& text, long long* value) {
  if (text.empty()) return false;
  char* end = nullptr;
  *value = std::strtoll(text.c_str(), &end, 10);
  return end != nullptr && *end == '\0';
}

bool MatchesSubstring(const Node& node, const std::string& value) {
  std::string text = LowerCase(value);
  std::string initial = LowerCase(node.initial);
  std::string final = LowerCase(node.final);
  if (!text.starts_with(initial)) return false;
  std::size_t pos = initial.size();
  for (const auto& piece : node.any) {
    std::size_t found = text.find(LowerCase(piece), pos);
    if (found == std::string::npos) return false;
    pos = found + piece.size();
  }
  if (text.size() < pos + final.size()) return false;
  return text.ends_with(final);
}

bool MatchesValue(const Node& node, const std::string& value) {
  switch (node.kind) {
    case NodeKind::kEqual:
    case NodeKind::kApprox:
      return LowerCase(value) == LowerCase(node.value);
    case NodeKind::kSubstring:
      return MatchesSubstring(node, value);
    case NodeKind::kGreaterOrEqual:
    case NodeKind::kLessOrEqual: {
      long long left = 0;
      long long right = 0;
      int order;
      if (ParseInteger(value, &left) && ParseInteger(node.value, &right)) {
        order = left < right ? -1 : left > right ? 1 : 0;
      } else {
        order = LowerCase(value).compare(LowerCase(node.value));
      }
      return node.kind == NodeKind::kGreaterOrEqual ? order >= 0 : order <= 0;
    }
    case NodeKind::kExtensible: {
      long long stored = 0;
      long long wanted = 0;
      if (!ParseInteger(value, &stored) || !ParseInteger(node.value, &wanted)) {
        return false;
      }
      auto bits = static_cast<std::uint64_t>(stored);
      auto mask = static_cast<std::uint64_t>(wanted);
      if (node.rule == kBitwiseAndRule) return (bits & mask) == mask;
      if (node.rule == kBitwiseOrRule) return (bits & mask) != 0;
      return false;  // other matching rules are not served by the fake
    }
    default:
      return false;
  }
}

bool Evaluate(const Node& node, const FakeFilter::ValueLookup& lookup) {
  switch (node.kind) {
    case NodeKind::kAnd:
      for (const auto& child : node.children) {
        if (!Evaluate(*child, lookup)) return false;
      }
      return true;
    case NodeKind::kOr:
      for (const auto& child : node.children) {
        if (Evaluate(*child, lookup)) return true;
      }
      return false;
    case NodeKind::kNot:
      return !Evaluate(*node.children.front(), lookup);
    case NodeKind::kPresent:
      if (LowerCase(node.attribute) == "objectclass") return true;
      return !lookup(node.attribute).empty();
    default:
      for (const auto& value : lookup(node.attribute)) {
        if (MatchesValue(node, value)) return true;
      }
      return false;
  }
}

}  // namespace

FakeFilter::FakeFilter(std::unique_ptr<Node> root) : root_(std::move(root)) {}
FakeFilter::~FakeFilter() = default;

std::unique_ptr<FakeFilter> FakeFilter::Parse(std::string_view text) {
  Parser parser(text);
  auto root = parser.ParseWhole();
  if (!root) return nullptr;
  return std::unique_ptr<FakeFilter>(new FakeFilter(std::move(root)));
}

bool FakeFilter::Matches(const ValueLookup& lookup) const {
  return Evaluate(*root_, lookup);
}

}  // namespace talvex
