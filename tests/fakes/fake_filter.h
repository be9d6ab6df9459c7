// An RFC 4515 search filter as the fake directory evaluates it.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace talvex {

// The matching-rule OIDs of Active Directory's bitwise extensible matches.
inline constexpr char kBitwiseAndRule[] = "1.2.840.113556.1.4.803";
inline constexpr char kBitwiseOrRule[] = "1.2.840.113556.1.4.804";

class FakeFilter {
 public:
  // Values of one attribute of the entry under test ("" name lookups are
  // case-insensitive on the caller's side).
  using ValueLookup =
      std::function<std::vector<std::string>(const std::string& attribute)>;

  // Parses the filter as strictly as libldap does: exactly one outer pair
  // of parentheses and every component in its own pair, so "((a=b))" and
  // "(!a=*)" are refused (null), as libldap refuses them with -7.
  static std::unique_ptr<FakeFilter> Parse(std::string_view text);

  ~FakeFilter();
  FakeFilter(const FakeFilter&) = delete;
  FakeFilter& operator=(const FakeFilter&) = delete;

  // Equality and substrings compare without regard to case (the directory's
  // string syntaxes are case-insensitive); ">=" and "<=" compare as integers
  // when both sides are integers. "(objectClass=*)" matches every entry, as
  // every directory object has a class.
  bool Matches(const ValueLookup& lookup) const;

  struct Node;

 private:
  explicit FakeFilter(std::unique_ptr<Node> root);
  std::unique_ptr<Node> root_;
};

}  // namespace talvex
