// Fonts and text over SDL_ttf.
//
// A font's size is the handheld's cell height (ascent plus descent of the
// face's Windows metrics), not SDL_ttf's line height. For Tahoma the cell is
// 2472 font units for an em of 2048, so a cell of 29 pixels is an em of 24.
// Glyphs are rendered once per (file, em size, character) into coverage masks
// and composited here; at the em sizes where the face carries hand-made bitmap
// strikes those are used unsmoothed, as the handheld does.
#include <SDL.h>
#include <SDL_ttf.h>
#include <strings.h>
#include <unistd.h>
#ifdef MELVORIA_FONTCONFIG
#include <fontconfig/fontconfig.h>
#endif

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <unordered_map>
#include <utility>

#include "common/utf.h"
#include "device/internal.h"

namespace ce {
namespace {

// Debian's fonts-wine, which fontconfig does not index.
constexpr const char* kWineFolder = "/usr/share/wine/fonts";
constexpr const char* kDejaVu = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
constexpr const char* kDejaVuBold = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";
// Tahoma's Windows ascent and descent (2049 + 423) over its 2048 units per em.
constexpr int kTahomaCell = 2472;
constexpr int kTahomaAscent = 2049;
constexpr int kUnitsPerEm = 2048;
constexpr int kDefaultCell = 13;  // lfHeight 0

struct Glyph {
  int advance = 0;
  int left = 0;  // from the pen position to the mask's first column
  int top = 0;   // from the mask's first row down to the baseline
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> coverage;  // 0..255, row by row
};

struct Face {
  TTF_Font* ttf = nullptr;
  bool tahoma = false;
  bool strike = false;   // the face has a bitmap strike at this em size
  int embolden = 0;      // pixels added to the width of strokes
  int advanceExtra = 0;  // pixels added to each glyph's advance
  int ttfAscent = 0;
  int ttfDescent = 0;
  std::array<std::unique_ptr<Glyph>, 128> ascii;
  std::unordered_map<std::uint32_t, std::unique_ptr<Glyph>> others;
};

struct Engine {
  bool initTried = false;
  bool ready = false;
  std::map<std::pair<std::string, int>, std::unique_ptr<Face>> faces;
  std::map<std::string, bool> missingReported;
  bool filesFound = false;
  FontFiles files;
  ~Engine() {
    for (auto& [key, face] : faces) {
      if (face->ttf != nullptr && TTF_WasInit()) TTF_CloseFont(face->ttf);
    }
    if (ready) TTF_Quit();
  }
};

Engine& TheEngine() {
  static Engine engine;
  return engine;
}

bool EngineReady() {
  Engine& e = TheEngine();
  if (!e.initTried) {
    e.initTried = true;
    e.ready = TTF_Init() == 0;
    if (!e.ready)
      std::fprintf(stderr, "melvoria: the font engine did not start (%s); no text is drawn\n",
                   TTF_GetError());
  }
  return e.ready;
}

// True when every rendered pixel of a few glyphs is fully on or off: the face
// used a bitmap strike rather than smoothed outlines.
bool HasStrike(TTF_Font* ttf) {
  const SDL_Color white{255, 255, 255, 255};
  for (std::uint32_t ch : {U'a', U'H', U'8'}) {
    SDL_Surface* s = TTF_RenderGlyph32_Blended(ttf, ch, white);
    if (s == nullptr) continue;
    bool crisp = true;
    SDL_LockSurface(s);
    for (int y = 0; y < s->h && crisp; ++y) {
      const auto* row =
          reinterpret_cast<const std::uint32_t*>(static_cast<const std::uint8_t*>(s->pixels) + y * s->pitch);
      for (int x = 0; x < s->w; ++x) {
        std::uint32_t a = (row[x] & s->format->Amask) >> s->format->Ashift;
        if (a != 0 && a != 255) {
          crisp = false;
          break;
        }
      }
    }
    SDL_UnlockSurface(s);
    SDL_FreeSurface(s);
    if (!crisp) return false;
  }
  return true;
}

// The stem width, in pixels, of a crisp 'l': 1 in a regular strike.
int StrikeStemWidth(TTF_Font* ttf) {
  const SDL_Color white{255, 255, 255, 255};
  SDL_Surface* s = TTF_RenderGlyph32_Solid(ttf, U'l', white);
  if (s == nullptr) return 0;
  SDL_LockSurface(s);
  int widest = 0;
  for (int y = 0; y < s->h; ++y) {
    const std::uint8_t* row = static_cast<const std::uint8_t*>(s->pixels) + y * s->pitch;
    int n = 0;
    for (int x = 0; x < s->w; ++x) n += row[x] != 0 ? 1 : 0;
    widest = std::max(widest, n);
  }
  SDL_UnlockSurface(s);
  SDL_FreeSurface(s);
  return widest;
}

Face* OpenFace(const std::string& file, int ppem, bool tahoma) {
  Engine& e = TheEngine();
  auto key = std::make_pair(file, ppem);
  auto it = e.faces.find(key);
  if (it != e.faces.end()) return it->second->ttf ? it->second.get() : nullptr;
  auto face = std::make_unique<Face>();
  face->tahoma = tahoma;
  face->ttf = TTF_OpenFont(file.c_str(), ppem);
  if (face->ttf != nullptr) {
    face->strike = HasStrike(face->ttf);
    // The outlines of the Tahoma Bold we ship have the stems of the regular
    // face (only its bitmap strikes are truly bold), so smoothed sizes are
    // thickened by about a sixteenth of the em.
    const bool wineBold = file == std::string(kWineFolder) + "/tahomabd.ttf";
    if (!face->strike && wineBold) face->embolden = std::max(1, (ppem + 8) / 16);
    // Some of its strikes are regular-weight too: those get the handheld's
    // synthetic bold, one pixel wider and one pixel further apart.
    if (face->strike && wineBold && StrikeStemWidth(face->ttf) <= 1) {
      face->embolden = 1;
      face->advanceExtra = 1;
    }
    face->ttfAscent = TTF_FontAscent(face->ttf);
    face->ttfDescent = TTF_FontDescent(face->ttf);
  }
  Face* result = face->ttf ? face.get() : nullptr;
  e.faces.emplace(key, std::move(face));
  return result;
}

bool Readable(const std::string& file) {
  return !file.empty() && ::access(file.c_str(), R_OK) == 0;
}

#ifdef MELVORIA_FONTCONFIG
// The file fontconfig picks for a family at a weight, and that file's family.
bool Match(const char* family, int weight, std::string* file, std::string* found) {
  FcPattern* pattern = FcPatternCreate();
  if (pattern == nullptr) return false;
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
  FcPatternAddInteger(pattern, FC_WEIGHT, weight);
  FcPatternAddInteger(pattern, FC_SLANT, FC_SLANT_ROMAN);
  FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  FcPatternDestroy(pattern);
  if (match == nullptr) return false;
  FcChar8* path = nullptr;
  FcChar8* name = nullptr;
  const bool ok = FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch &&
                  FcPatternGetString(match, FC_FAMILY, 0, &name) == FcResultMatch;
  if (ok) {
    *file = reinterpret_cast<const char*>(path);
    *found = reinterpret_cast<const char*>(name);
  }
  FcPatternDestroy(match);
  return ok && Readable(*file);
}
#endif

}  // namespace

FontFiles FindFontFiles(const std::string& wineFolder) {
  FontFiles f;
  f.regular = wineFolder + "/tahoma.ttf";
  f.bold = wineFolder + "/tahomabd.ttf";
  if (Readable(f.regular) && Readable(f.bold)) {
    f.tahoma = true;
    return f;
  }
#ifdef MELVORIA_FONTCONFIG
  // Asked for Tahoma, fontconfig gives Tahoma when it knows one, else the sans
  // face its configuration puts in Tahoma's place.
  std::string regular, bold, family, boldFamily;
  if (FcInit() && Match("Tahoma", FC_WEIGHT_REGULAR, &regular, &family) &&
      Match("Tahoma", FC_WEIGHT_BOLD, &bold, &boldFamily)) {
    f.regular = regular;
    f.bold = bold;
    f.tahoma = strcasecmp(family.c_str(), "Tahoma") == 0;
    if (!f.tahoma)
      f.note = "no Tahoma (package fonts-wine); text is drawn with " + family + " (" + regular + ")";
    return f;
  }
#endif
  f.regular = kDejaVu;
  f.bold = kDejaVuBold;
  f.tahoma = false;
  f.note = Readable(f.regular)
               ? "no Tahoma (package fonts-wine); text is drawn with DejaVu Sans (" + f.regular + ")"
               : "no font found (packages fonts-wine, fonts-dejavu-core); no text is drawn";
  return f;
}

namespace {

// Tahoma for every face name (the game asks for nothing else), bold from 700;
// its stand-in when there is no Tahoma. Found once, and said once on stderr.
Face* FaceFor(const LOGFONTW& lf, int ppem) {
  Engine& e = TheEngine();
  if (!e.filesFound) {
    e.filesFound = true;
    e.files = FindFontFiles(kWineFolder);
    if (!e.files.note.empty()) std::fprintf(stderr, "melvoria: %s\n", e.files.note.c_str());
  }
  const bool bold = lf.lfWeight >= FW_BOLD;
  const std::string& file = bold ? e.files.bold : e.files.regular;
  if (Face* f = OpenFace(file, ppem, e.files.tahoma)) return f;
  if (!e.missingReported[file]) {
    e.missingReported[file] = true;
    std::fprintf(stderr, "melvoria: cannot open the font %s; its text is not drawn\n", file.c_str());
  }
  return nullptr;
}

int RoundDiv(long long a, long long b) {
  return int((a + b / 2) / b);
}

// The em size in pixels for a font's requested height.
int EmPixels(const LOGFONTW& lf) {
  long long h = lf.lfHeight;
  if (h == 0) h = kDefaultCell;
  if (h < 0) return int(std::clamp(-h, 1LL, 1000LL));
  return std::clamp(RoundDiv(h * kUnitsPerEm, kTahomaCell), 1, 1000);
}

const Glyph& GlyphFor(Face* face, std::uint32_t ch) {
  std::unique_ptr<Glyph>* slot;
  if (ch < 128) {
    slot = &face->ascii[ch];
  } else {
    slot = &face->others[ch];
  }
  if (*slot) return **slot;
  auto g = std::make_unique<Glyph>();
  int minx = 0, maxx = 0, miny = 0, maxy = 0, advance = 0;
  if (TTF_GlyphMetrics32(face->ttf, ch, &minx, &maxx, &miny, &maxy, &advance) == 0) {
    g->advance = advance + face->advanceExtra;
    const SDL_Color white{255, 255, 255, 255};
    SDL_Surface* s = face->strike ? TTF_RenderGlyph32_Solid(face->ttf, ch, white)
                                  : TTF_RenderGlyph32_Blended(face->ttf, ch, white);
    if (s != nullptr) {
      // SDL_ttf puts the pen at column max(0, -minx) and the baseline at its
      // ascent, moved down when the glyph rises above it.
      int penColumn = std::max(0, -minx);
      int baselineRow = face->ttfAscent + std::max(0, maxy - face->ttfAscent);
      SDL_LockSurface(s);
      std::vector<std::uint8_t> cov(std::size_t(s->w) * s->h);
      int x0 = s->w, y0 = s->h, x1 = -1, y1 = -1;
      for (int y = 0; y < s->h; ++y) {
        const std::uint8_t* row = static_cast<const std::uint8_t*>(s->pixels) + y * s->pitch;
        for (int x = 0; x < s->w; ++x) {
          std::uint8_t a;
          if (s->format->BytesPerPixel == 1) {
            a = row[x] != 0 ? 255 : 0;
          } else {
            std::uint32_t p = reinterpret_cast<const std::uint32_t*>(row)[x];
            a = std::uint8_t((p & s->format->Amask) >> s->format->Ashift);
          }
          cov[std::size_t(y) * s->w + x] = a;
          if (a != 0) {
            x0 = std::min(x0, x);
            x1 = std::max(x1, x);
            y0 = std::min(y0, y);
            y1 = std::max(y1, y);
          }
        }
      }
      if (x1 >= 0) {
        int w = x1 - x0 + 1;
        int h = y1 - y0 + 1;
        // Thickening: each pixel takes the strongest coverage of the ex pixels
        // to its left and the ey pixels below it (strokes grow right and up).
        int ex = face->embolden;
        int ey = ex / 2;
        g->width = w + ex;
        g->height = h + ey;
        g->left = x0 - penColumn;
        g->top = baselineRow - y0 + ey;
        g->coverage.assign(std::size_t(g->width) * g->height, 0);
        for (int y = 0; y < g->height; ++y) {
          for (int x = 0; x < g->width; ++x) {
            std::uint8_t best = 0;
            for (int j = 0; j <= ey; ++j) {
              int sy = y - ey + j;
              if (sy < 0 || sy >= h) continue;
              for (int i = 0; i <= ex; ++i) {
                int sx = x - i;
                if (sx >= 0 && sx < w) best = std::max(best, cov[std::size_t(sy + y0) * s->w + sx + x0]);
              }
            }
            g->coverage[std::size_t(y) * g->width + x] = best;
          }
        }
      }
      SDL_UnlockSurface(s);
      SDL_FreeSurface(s);
    }
  }
  *slot = std::move(g);
  return **slot;
}

// A font ready to draw: its face and its cell.
struct Metrics {
  Face* face = nullptr;
  int cell = 0;
  int ascent = 0;
};

bool MetricsFor(DeviceContext* dc, Metrics* m) {
  GdiObject* font = dc->font;
  if (font == nullptr || font->kind != GdiKind::Font) return false;
  if (font->ttf == nullptr && !FontOpen(font)) return false;
  m->face = static_cast<Face*>(font->ttf);
  const LOGFONTW& lf = font->logfont;
  if (lf.lfHeight > 0) {
    m->cell = lf.lfHeight;
  } else if (m->face->tahoma) {
    m->cell = RoundDiv((long long)font->pixelSize * kTahomaCell, kUnitsPerEm);
  } else {
    m->cell = m->face->ttfAscent - m->face->ttfDescent;
  }
  if (m->face->tahoma) {
    m->ascent = RoundDiv((long long)m->cell * kTahomaAscent, kTahomaCell);
  } else {
    int total = std::max(1, m->face->ttfAscent - m->face->ttfDescent);
    m->ascent = RoundDiv((long long)m->cell * m->face->ttfAscent, total);
  }
  return true;
}

// Code points of the text (count < 0: up to its terminator); lone surrogates become U+FFFD.
void Decode(LPCWSTR text, int count, std::vector<char32_t>* out) {
  std::size_t n = 0;
  if (count < 0) {
    while (text[n] != 0) ++n;
  } else {
    n = std::size_t(count);
  }
  utf::DecodeUtf16(std::u16string_view(text, n), out);
}

struct Line {
  std::size_t begin;
  std::size_t end;
  int width;
};

bool IsBreak(std::uint32_t c) {
  return c == '\n' || c == '\r';
}

int Advance(Face* face, std::uint32_t c) {
  return IsBreak(c) ? 0 : GlyphFor(face, c).advance;
}

// Splits the text into lines: at line breaks unless single-line, and at spaces
// to fit maxWidth with word-break. A word wider than the line stays whole.
void Layout(Face* face, const std::vector<char32_t>& cps, UINT format, int maxWidth,
            std::vector<Line>* lines) {
  lines->clear();
  auto width = [&](std::size_t b, std::size_t e) {
    int w = 0;
    for (std::size_t i = b; i < e; ++i) w += Advance(face, cps[i]);
    return w;
  };
  if (format & DT_SINGLELINE) {
    lines->push_back(Line{0, cps.size(), width(0, cps.size())});
    return;
  }
  std::size_t start = 0;
  while (true) {
    std::size_t end = start;
    while (end < cps.size() && !IsBreak(cps[end])) ++end;
    if (!(format & DT_WORDBREAK)) {
      lines->push_back(Line{start, end, width(start, end)});
    } else {
      std::size_t i = start;
      while (true) {
        std::size_t lineEnd = i;
        int lineWidth = 0;
        bool placed = false;
        std::size_t j = i;
        while (j < end) {
          int spaces = 0;
          std::size_t k = j;
          while (k < end && cps[k] == ' ') spaces += Advance(face, cps[k++]);
          int word = 0;
          std::size_t m = k;
          while (m < end && cps[m] != ' ') word += Advance(face, cps[m++]);
          if (m == k) break;  // only trailing spaces are left
          if (placed && lineWidth + spaces + word > maxWidth) break;
          lineWidth += spaces + word;
          lineEnd = m;
          j = m;
          placed = true;
        }
        lines->push_back(Line{i, lineEnd, lineWidth});
        while (j < end && cps[j] == ' ') ++j;  // spaces at a break are dropped
        if (j >= end) break;
        i = j;
      }
    }
    if (end >= cps.size()) break;
    // "\r\n" is one break.
    start = end + ((cps[end] == '\r' && end + 1 < cps.size() && cps[end + 1] == '\n') ? 2 : 1);
  }
}

RECT Union(const RECT& a, const RECT& b) {
  if (RectEmpty(a)) return b;
  if (RectEmpty(b)) return a;
  return RECT{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
              std::max(a.bottom, b.bottom)};
}

// Composites one glyph's coverage in colour at (x, y) = its mask's top-left.
void DrawGlyph(Surface& s, const Glyph& g, int x, int y, std::uint32_t color, const std::vector<RECT>& pieces,
               RECT* touched) {
  RECT box{x, y, x + g.width, y + g.height};
  const std::uint32_t cr = (color >> 16) & 255, cg = (color >> 8) & 255, cb = color & 255;
  for (const RECT& piece : pieces) {
    RECT p = Intersect(box, piece);
    if (RectEmpty(p)) continue;
    *touched = Union(*touched, p);
    for (int row = p.top; row < p.bottom; ++row) {
      const std::uint8_t* cov = &g.coverage[std::size_t(row - y) * g.width + (p.left - x)];
      std::uint32_t* out = s.row(row) + p.left;
      for (int i = 0; i < p.right - p.left; ++i) {
        std::uint32_t a = cov[i];
        if (a == 0) continue;
        if (a == 255) {
          out[i] = color;
          continue;
        }
        std::uint32_t d = out[i];
        std::uint32_t r = (cr * a + ((d >> 16) & 255) * (255 - a) + 127) / 255;
        std::uint32_t gg = (cg * a + ((d >> 8) & 255) * (255 - a) + 127) / 255;
        std::uint32_t b = (cb * a + (d & 255) * (255 - a) + 127) / 255;
        out[i] = (r << 16) | (gg << 8) | b;
      }
    }
  }
}

}  // namespace

bool FontOpen(GdiObject* font) {
  if (font == nullptr || font->kind != GdiKind::Font) return false;
  if (font->ttf != nullptr) return true;
  if (!EngineReady()) return false;
  int ppem = EmPixels(font->logfont);
  Face* face = FaceFor(font->logfont, ppem);
  if (face == nullptr) return false;
  font->ttf = face;
  font->pixelSize = ppem;
  font->bitmapStrike = face->strike;
  return true;
}

// Faces are shared and cached for the whole run; the font only lets go.
void FontClose(GdiObject* font) {
  if (font != nullptr) font->ttf = nullptr;
}

int DrawTextImpl(DeviceContext* dc, LPCWSTR text, int count, RECT* rect, UINT format) {
  Metrics m;
  if (dc == nullptr || text == nullptr || rect == nullptr || !MetricsFor(dc, &m)) return 0;
  static std::vector<char32_t> cps;  // kept between calls: no allocation per line of text
  static std::vector<Line> lines;
  Decode(text, count, &cps);
  Layout(m.face, cps, format, rect->right - rect->left, &lines);

  int height = int(lines.size()) * m.cell;
  int top = rect->top;
  // Vertical placement applies to single-line text only, as on the handheld.
  if (format & DT_SINGLELINE) {
    if (format & DT_VCENTER) {
      top = rect->top + (rect->bottom - rect->top - height) / 2;
    } else if (format & DT_BOTTOM) {
      top = rect->bottom - height;
    }
  }
  if (format & DT_CALCRECT) {
    int widest = 0;
    for (const Line& l : lines) widest = std::max(widest, l.width);
    rect->right = rect->left + widest;
    rect->bottom = rect->top + height;
    return height;
  }
  if (dc->target == nullptr) return 0;
  Surface& s = *dc->target;

  // The visible pieces: the context's clip, the target, and the rectangle unless DT_NOCLIP.
  static std::vector<RECT> pieces;
  pieces.clear();
  RECT limit{0, 0, s.width, s.height};
  if (!(format & DT_NOCLIP)) {
    limit = Intersect(limit, Offset(*rect, dc->originX, dc->originY));
  }
  for (const RECT& c : dc->clip.Rects()) {
    RECT p = Intersect(c, limit);
    if (!RectEmpty(p)) pieces.push_back(p);
  }
  RECT touched{0, 0, 0, 0};
  std::uint32_t ink = ToPixel(dc->textColor);
  std::uint32_t paper = ToPixel(dc->bkColor);
  for (std::size_t n = 0; n < lines.size() && !pieces.empty(); ++n) {
    const Line& line = lines[n];
    int x = rect->left;
    if (format & DT_CENTER) {
      x = rect->left + (rect->right - rect->left - line.width) / 2;
    } else if (format & DT_RIGHT) {
      x = rect->right - line.width;
    }
    x += dc->originX;
    int y = top + int(n) * m.cell + dc->originY;
    if (dc->bkMode == OPAQUE) {
      RECT cellBox{x, y, x + line.width, y + m.cell};
      for (const RECT& piece : pieces) {
        RECT p = Intersect(cellBox, piece);
        if (RectEmpty(p)) continue;
        touched = Union(touched, p);
        for (int row = p.top; row < p.bottom; ++row)
          std::fill_n(s.row(row) + p.left, p.right - p.left, paper);
      }
    }
    int pen = x;
    for (std::size_t i = line.begin; i < line.end; ++i) {
      if (IsBreak(cps[i])) continue;
      const Glyph& g = GlyphFor(m.face, cps[i]);
      if (g.width > 0) DrawGlyph(s, g, pen + g.left, y + m.ascent - g.top, ink, pieces, &touched);
      pen += g.advance;
    }
  }
  if (!dc->memory && !RectEmpty(touched)) ScreenChanged(touched);
  return (top - rect->top) + height;
}

bool TextExtent(DeviceContext* dc, LPCWSTR text, int count, SIZE* size) {
  Metrics m;
  if (dc == nullptr || text == nullptr || size == nullptr || !MetricsFor(dc, &m)) return false;
  static std::vector<char32_t> cps;
  Decode(text, count, &cps);
  int w = 0;
  for (std::uint32_t c : cps) w += GlyphFor(m.face, c).advance;
  size->cx = w;
  size->cy = m.cell;
  return true;
}

}  // namespace ce
