#include "directory/ldap_filter.h"

#include <memory>
#include <vector>

namespace talvex {
namespace {

struct FilterNode {
  char op = 0;       // '&', '|', '!', or 0 for a simple item
  std::string item;  // "attr=value" as written
  std::vector<std::unique_ptr<FilterNode>> children;
};

// A lenient reader: it takes what the Windows client takes (bare items, a
// negation without inner parentheses, surplus pairs around a component).
class LooseFilterReader {
 public:
  explicit LooseFilterReader(const std::string& text) : text_(text) {}

  std::unique_ptr<FilterNode> ReadAll() {
    auto node = ReadFilter();
    if (!node || pos_ != text_.size()) return nullptr;
    return node;
  }

 private:
  // "(" component ")" or a bare component.
  std::unique_ptr<FilterNode> ReadFilter() {
    if (pos_ >= text_.size()) return nullptr;
    if (text_[pos_] != '(') return ReadComponent();
    ++pos_;
    auto node = ReadComponent();
    if (!node || pos_ >= text_.size() || text_[pos_] != ')') return nullptr;
    ++pos_;
    return node;
  }

  std::unique_ptr<FilterNode> ReadComponent() {
    if (pos_ >= text_.size()) return nullptr;
    char c = text_[pos_];
    if (c == '(') return ReadFilter();  // a surplus pair
    auto node = std::make_unique<FilterNode>();
    if (c == '&' || c == '|') {
      node->op = c;
      ++pos_;
      SkipBlanks();
      while (pos_ < text_.size() && text_[pos_] == '(') {
        auto child = ReadFilter();
        if (!child) return nullptr;
        node->children.push_back(std::move(child));
        SkipBlanks();
      }
      return node;
    }
    if (c == '!') {
      node->op = c;
      ++pos_;
      SkipBlanks();
      auto child = ReadFilter();
      if (!child) return nullptr;
      node->children.push_back(std::move(child));
      return node;
    }
    // A simple item runs to the closing parenthesis (values carry
    // parentheses only escaped) or to the end.
    std::size_t start = pos_;
    while (pos_ < text_.size() && text_[pos_] != ')' && text_[pos_] != '(') {
      if (text_[pos_] == '\\' && pos_ + 1 < text_.size()) ++pos_;
      ++pos_;
    }
    node->item = text_.substr(start, pos_ - start);
    if (node->item.find('=') == std::string::npos) return nullptr;
    return node;
  }

  void SkipBlanks() {
    while (pos_ < text_.size() && text_[pos_] == ' ') ++pos_;
  }

  const std::string& text_;
  std::size_t pos_ = 0;
};

void Write(const FilterNode& node, std::string* out) {
  *out += '(';
  if (node.op == 0) {
    *out += node.item;
  } else {
    *out += node.op;
    for (const auto& child : node.children) Write(*child, out);
  }
  *out += ')';
}

}  // namespace

std::string NormalizeFilter(const std::string& filter) {
  LooseFilterReader reader(filter);
  auto root = reader.ReadAll();
  if (!root) return filter;
  std::string normalized;
  Write(*root, &normalized);
  return normalized;
}

std::string EscapeFilterValue(const std::string& value, bool keepWildcard) {
  std::string escaped;
  for (char c : value) {
    switch (c) {
      case '(':
        escaped += "\\28";
        break;
      case ')':
        escaped += "\\29";
        break;
      case '\\':
        escaped += "\\5c";
        break;
      case '\0':
        escaped += "\\00";
        break;
      case '*':
        escaped += keepWildcard ? "*" : "\\2a";
        break;
      default:
        escaped += c;
    }
  }
  return escaped;
}

}  // namespace talvex
