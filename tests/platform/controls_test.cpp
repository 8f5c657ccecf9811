// The edit box holds whole characters only: a character outside the basic
// plane is two UTF-16 units, and the box never keeps one without the other.
#include <gtest/gtest.h>

#include <string>

#include "platform/device.h"
#include "platform/host.h"

using namespace ce;

namespace {

constexpr char16_t kHigh = 0xD83D, kLow = 0xDE00;  // U+1F600, one character
const std::u16string kEmoji{kHigh, kLow};

class EditBoxTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host::Options o;
    o.screenWidth = 240;
    o.screenHeight = 320;
    host::Start(o);
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.lpszClassName = u"Parent";
    RegisterClassW(&wc);
    HWND parent =
        CreateWindowExW(0, u"Parent", u"", WS_VISIBLE, 0, 0, 240, 320, nullptr, 0, nullptr, nullptr);
    box_ = CreateWindowExW(0, u"EDIT", u"", WS_CHILD | WS_VISIBLE | WS_BORDER, 30, 140, 180, 22, parent, 1,
                           nullptr, nullptr);
    SetFocus(box_);
    host::PumpMessages();
  }
  void TearDown() override { host::Stop(); }

  std::u16string Text() {
    char16_t buf[64] = {};
    GetWindowTextW(box_, buf, 64);
    return buf;
  }
  void Type(const std::u16string& units) {
    host::TypeText(units);
    host::PumpMessages();
  }

  HWND box_ = nullptr;
};

TEST_F(EditBoxTest, NeverHoldsHalfACharacter) {
  const std::u16string ten = u"ABCDEFGHIJ";
  struct Case {
    const char* what;
    std::u16string set;  // SetWindowTextW after the limit, as the name entry fills its box
    std::u16string typed;
    std::u16string want;
  };
  const Case cases[] = {
      {"a character that would be the 12th unit is refused", u"", ten + kEmoji, ten},
      {"one that fits whole is taken", u"", u"ABCDEFGHI" + kEmoji, u"ABCDEFGHI" + kEmoji},
      {"a refused character does not stop a smaller one", u"", ten + kEmoji + u"K", ten + u"K"},
      {"backspace takes both units", u"", u"a" + kEmoji + kEmoji + u"\b", u"a" + kEmoji},
      {"a lone second half is refused", u"", std::u16string{u'a', kLow, u'b'}, u"ab"},
      {"a first half without its second is dropped", u"", std::u16string{u'a', kHigh, u'b'}, u"ab"},
      {"a first half followed by backspace", u"", std::u16string{u'a', u'b', kHigh, u'\b'}, u"a"},
      {"a set text is cut at a whole character", ten + kEmoji, u"", ten},
      {"a set text keeps no lone half", std::u16string{u'B', u'o', kHigh, u'b'}, u"", u"Bob"},
      {"typing after a set text", u"ABCDEFGHI", kEmoji, u"ABCDEFGHI" + kEmoji},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SetWindowTextW(box_, u"");
    SendMessageW(box_, EM_LIMITTEXT, 11, 0);
    SetWindowTextW(box_, c.set.c_str());
    Type(c.typed);
    EXPECT_EQ(Text(), c.want);
  }
}

TEST_F(EditBoxTest, ALowerLimitCutsAtAWholeCharacter) {
  SetWindowTextW(box_, (u"ABCDEFGHIJ" + kEmoji).c_str());
  SendMessageW(box_, EM_LIMITTEXT, 11, 0);
  EXPECT_EQ(Text(), u"ABCDEFGHIJ");
}

}  // namespace
