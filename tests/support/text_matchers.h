// A matcher for a death test's standard error that looks for several pieces
// in turn; gtest's own regular expressions on Windows can't cross a line end.
#pragma once

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <utility>
#include <vector>

class ContainsInOrderMatcher : public testing::MatcherInterface<const std::string&> {
 public:
  explicit ContainsInOrderMatcher(std::vector<std::string> pieces) : pieces_(std::move(pieces)) {}

  bool MatchAndExplain(const std::string& text, testing::MatchResultListener*) const override {
    size_t from = 0;
    for (const std::string& piece : pieces_) {
      size_t at = text.find(piece, from);
      if (at == std::string::npos) return false;
      from = at + piece.size();
    }
    return true;
  }

  void DescribeTo(std::ostream* out) const override {
    *out << "contains, in this order:";
    for (const std::string& piece : pieces_) *out << " \"" << piece << "\"";
  }

 private:
  std::vector<std::string> pieces_;
};

inline testing::Matcher<const std::string&> ContainsInOrder(std::vector<std::string> pieces) {
  return testing::MakeMatcher(new ContainsInOrderMatcher(std::move(pieces)));
}
