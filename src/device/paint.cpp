// Painting the device's windows, and what the device tells of its screen.
#include "device/world.h"

namespace ce {

// ---- painting ------------------------------------------------------------------------

BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL) {
  if (!IsLive(hwnd)) return FALSE;
  RECT client{0, 0, hwnd->rect.right - hwnd->rect.left, hwnd->rect.bottom - hwnd->rect.top};
  RECT r = rect ? Intersect(*rect, client) : client;
  if (!RectEmpty(r)) hwnd->invalid.Add(r);
  return TRUE;
}

BOOL ValidateRect(HWND hwnd, const RECT* rect) {
  if (!IsLive(hwnd)) return FALSE;
  if (rect)
    hwnd->invalid.Subtract(*rect);
  else
    hwnd->invalid.Clear();
  return TRUE;
}

BOOL GetUpdateRect(HWND hwnd, RECT* rect, BOOL) {
  if (!IsLive(hwnd)) return FALSE;
  RECT b = hwnd->invalid.Empty() ? RECT{0, 0, 0, 0} : hwnd->invalid.Bounds();
  if (rect) *rect = b;
  return hwnd->invalid.Empty() ? FALSE : TRUE;
}

namespace {
HDC MakeWindowDC(Window* w, const Region* restrictTo) {
  auto* dc = new DeviceContext();
  InitDeviceContext(dc);
  dc->target = &W().screen;
  dc->window = w;
  if (w) {
    RECT sr = ScreenRectOf(w);
    dc->originX = sr.left;
    dc->originY = sr.top;
    dc->clip = VisibleRegion(w);
    if (restrictTo) {
      Region r = *restrictTo;
      r.OffsetBy(sr.left, sr.top);
      dc->clip.IntersectWith(r);
    }
  } else {
    dc->clip = Region(RECT{0, 0, W().screen.width, W().screen.height});
  }
  return dc;
}
}  // namespace

HDC BeginPaint(HWND hwnd, PAINTSTRUCT* ps) {
  if (!IsLive(hwnd) || !ps) return nullptr;
  Region inv = hwnd->invalid;
  hwnd->invalid.Clear();
  hwnd->beginPaints++;
  HDC dc = MakeWindowDC(hwnd, &inv);
  *ps = PAINTSTRUCT{};
  ps->hdc = dc;
  ps->fErase = FALSE;
  ps->rcPaint = inv.Empty() ? RECT{0, 0, 0, 0} : inv.Bounds();
  return dc;
}

BOOL EndPaint(HWND, const PAINTSTRUCT* ps) {
  if (!ps || !ps->hdc) return FALSE;
  DeleteDC(ps->hdc);
  return TRUE;
}

HDC GetDC(HWND hwnd) {
  if (hwnd && !IsLive(hwnd)) return nullptr;
  return MakeWindowDC(hwnd, nullptr);
}

int ReleaseDC(HWND, HDC hdc) {
  if (!hdc) return 0;
  DeleteDC(hdc);
  return 1;
}

// ---- metrics -------------------------------------------------------------------------

int GetSystemMetrics(int index) {
  if (index == SM_CXSCREEN) return W().screen.width;
  if (index == SM_CYSCREEN) return W().screen.height;
  return 0;
}

int GetDeviceCaps(HDC, int index) {
  switch (index) {
    case LOGPIXELSX:
    case LOGPIXELSY:
      return W().dpi;
    case HORZRES:
      return W().screen.width;
    case VERTRES:
      return W().screen.height;
    case BITSPIXEL:
      return 16;
    default:
      return 0;
  }
}

Surface& ScreenSurface() {
  return W().screen;
}

void ScreenChanged(const RECT& r) {
  ForgetScreenCopies(r);
  ScreenWritten(r);
}

}  // namespace ce
