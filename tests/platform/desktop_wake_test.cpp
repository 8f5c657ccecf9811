// A raise asked from the one-copy listener thread wakes the desktop's wait
// with the desktop's own event, or with nothing when SDL has no event left to
// register (SDL_RegisterEvents then gives (Uint32)-1, not 0).
#include <SDL.h>
#include <gtest/gtest.h>

#include "platform/device.h"
#include "platform/host.h"

namespace ce {
void RequestRaiseFromOtherThread();
}  // namespace ce

using namespace ce;

namespace {

TEST(DesktopWakeTest, NoEventLeftToRegisterSendsNoneOfANumberNotRegistered) {
  while (SDL_RegisterEvents(1) != Uint32(-1)) {
  }
  host::Options o;
  o.screenWidth = 240;
  o.screenHeight = 320;
  o.headless = false;
  host::Start(o);
  WNDCLASSW wc{};
  wc.lpfnWndProc = DefWindowProcW;
  wc.lpszClassName = u"Wake";
  RegisterClassW(&wc);
  // Shown, it opens the desktop window (SDL's dummy video driver).
  ASSERT_NE(CreateWindowExW(0, u"Wake", u"", WS_VISIBLE, 0, 0, 240, 320, nullptr, 0, nullptr, nullptr),
            nullptr);
  ASSERT_NE(SDL_WasInit(SDL_INIT_VIDEO), 0u) << "no desktop window";
  RequestRaiseFromOtherThread();
  SDL_Event e;
  EXPECT_EQ(SDL_PeepEvents(&e, 1, SDL_PEEKEVENT, Uint32(-1), Uint32(-1)), 0);
  host::Stop();
}

}  // namespace
