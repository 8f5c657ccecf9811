// Shared insides of the device: drawing contexts, GDI objects, fonts, the
// bitmap codec and the resources. Only device/ includes this; no SDL here either.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "device/surface.h"
#include "platform/device.h"

namespace ce {

// A call that reaches something the device does not provide stops loudly.
[[noreturn]] void Unimplemented(const char* what, const char* file, int line);
#define CE_UNIMPLEMENTED(what) ::ce::Unimplemented(what, __FILE__, __LINE__)

enum class GdiKind { Bitmap, Brush, Pen, Font, Icon };

struct GdiObject {
  GdiKind kind;
  bool stock = false;
  // Bitmap / Icon
  std::shared_ptr<Surface> surface;
  // Brush: colour; null brush draws nothing
  COLORREF color = 0;
  bool nullBrush = false;
  // Pen
  int penStyle = PS_SOLID;
  int penWidth = 1;
  // Font
  LOGFONTW logfont{};
  void* ttf = nullptr;  // the font engine's handle, owned by text.cpp
  int pixelSize = 0;    // pixels per em
  bool bitmapStrike = false;
  explicit GdiObject(GdiKind k) : kind(k) {}
  ~GdiObject();
};

struct DeviceContext {
  // Where the pixels go: the screen, or the bitmap selected into a memory DC.
  Surface* target = nullptr;
  bool memory = false;
  HWND window = nullptr;  // for window DCs
  // Device coordinates (0,0) map to (originX, originY) in target.
  int originX = 0;
  int originY = 0;
  // Clip in target coordinates; memory DCs clip to the bitmap.
  Region clip;
  HBITMAP bitmap = nullptr;  // memory DCs: the selected bitmap (a 1x1 stock one at first)
  HFONT font = nullptr;
  HBRUSH brush = nullptr;
  HPEN pen = nullptr;
  COLORREF textColor = RGB(0, 0, 0);
  COLORREF bkColor = RGB(255, 255, 255);
  int bkMode = OPAQUE;
  POINT penPos{0, 0};
};

// For window DCs: the clip region of the current paint, in target coordinates.
// Implemented by gdi.cpp: makes the stock objects current in a fresh DC.
void InitDeviceContext(DeviceContext* dc);
// Makes sure the target and clip of a memory DC follow its selected bitmap.
void RefreshMemoryDC(DeviceContext* dc);
// Marks the screen as changed (for the host's next frame), in screen coordinates.
void ScreenChanged(const RECT& r);
// Implemented by gdi.cpp: the screen's pixels in r are no longer those of
// the copies it remembers there.
void ForgetScreenCopies(const RECT& r);

// Text, implemented in text.cpp over the font engine.
bool FontOpen(GdiObject* font);
void FontClose(GdiObject* font);
int DrawTextImpl(DeviceContext* dc, LPCWSTR text, int count, RECT* rect, UINT format);
bool TextExtent(DeviceContext* dc, LPCWSTR text, int count, SIZE* size);

// The font files text is drawn with. Tahoma: Wine's files in wineFolder first,
// then a Tahoma that fontconfig knows; else fontconfig's stand-in for Tahoma (a
// sans face), named in `note` for the one line on stderr.
struct FontFiles {
  std::string regular, bold;
  bool tahoma = false;
  std::string note;
};
FontFiles FindFontFiles(const std::string& wineFolder);

// Pictures decoded from BMP bytes (1, 4, 8, 24 and 32 bits per pixel).
std::shared_ptr<Surface> DecodeBmp(const std::uint8_t* data, std::size_t size);
bool EncodeBmp(const Surface& s, std::vector<std::uint8_t>* out);
bool EncodePng(const Surface& s, std::vector<std::uint8_t>* out);

// Resources compiled into the program from resources/manifest.
struct ResourceInfo {
  std::uint32_t id;
  const char* type;  // "BITMAP", "WAVE", "ICON", ...
  const std::uint8_t* data;
  std::size_t size;
};
const ResourceInfo* FindEmbedded(std::uint32_t id, const char* type);

// Wave output back to nothing, for host::Start and host::Stop: closes the SDL
// output, reports every queued buffer done (WOM_DONE) so its owner can free it,
// closes every wave device (WOM_CLOSE) and clears WaveWrites and the volume.
void WaveShutdown();

}  // namespace ce
