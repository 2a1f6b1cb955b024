// The byte scans of view paths (eight bytes at a time), against a byte-by-byte
// look at every position.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/text/PathBytes.h"

using namespace platform;

namespace {

// Every string of up to `length` characters over `alphabet`.
std::vector<std::string> allStrings(const std::string& alphabet, size_t length) {
  std::vector<std::string> out{""};
  for (size_t from = 0, n = 0; n < length; ++n) {
    const size_t to = out.size();
    for (size_t i = from; i < to; ++i) {
      for (char c : alphabet) out.push_back(out[i] + c);
    }
    from = to;
  }
  return out;
}

bool referenceMayNeed(const std::string& s) {
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '/') return true;
    if (s[i] == '\\' && i + 1 < s.size() &&
        (s[i + 1] == '\\' || s[i + 1] == '/' || s[i + 1] == '.')) {
      return true;
    }
  }
  return false;
}

TEST(PathBytes, ScansAgreeWithAByteByByteLookAtEveryPosition) {
  // Short strings over the bytes that matter, placed at every offset of a long
  // plain run so that each lands on every place of an eight-byte step.
  for (const std::string& core : allStrings("a\\/.\xC3\x1F", 4)) {
    for (size_t pad = 0; pad < 10; ++pad) {
      const std::string s = std::string(pad, 'x') + core + std::string(9 - pad, 'y');
      EXPECT_EQ(pathbytes::mayNeedNormalizing(s), referenceMayNeed(s)) << s;
      EXPECT_EQ(pathbytes::hasControlByte(s), s.find('\x1F') != std::string::npos) << s;
      const size_t high = s.find('\xC3');
      EXPECT_EQ(pathbytes::asciiRunEnd(s, pad), high == std::string::npos ? s.size() : high) << s;
      std::string copied(s.size(), '?');
      pathbytes::copyWithSlashes(copied.data(), s);
      std::string expected = s;
      for (char& c : expected) c = c == '\\' ? '/' : c;
      EXPECT_EQ(copied, expected) << s;
    }
  }
}

TEST(PathBytes, CommonStartEndsAtTheFirstDifferenceWhereverItLies) {
  const std::string a(600, 'p');
  for (const size_t at : {size_t{0}, size_t{7}, size_t{8}, size_t{255}, size_t{256}, size_t{599}}) {
    std::string b = a;
    b[at] = 'q';
    EXPECT_EQ(pathbytes::commonPrefix(a, b), at);
    EXPECT_EQ(pathbytes::commonPrefix(b.substr(0, at), a), at);  // one a start of the other
  }
  EXPECT_EQ(pathbytes::commonPrefix(a, a), 600u);
}

}  // namespace
