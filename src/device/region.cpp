// Regions as lists of disjoint rectangles: the clip of every paint and the
// invalid area of every window. They stay small (a handful of rectangles), so
// plain lists and quadratic merging are cheaper than anything cleverer.
#include <algorithm>

#include "device/internal.h"

namespace ce {
namespace {

// Appends the parts of a that lie outside b: at most four pieces (a band above,
// a band below, and the left and right parts of the middle band).
void SubtractInto(const RECT& a, const RECT& b, std::vector<RECT>* out) {
  if (b.right <= a.left || b.left >= a.right || b.bottom <= a.top || b.top >= a.bottom) {
    out->push_back(a);
    return;
  }
  LONG top = a.top;
  LONG bottom = a.bottom;
  if (b.top > a.top) {
    out->push_back(RECT{a.left, a.top, a.right, b.top});
    top = b.top;
  }
  if (b.bottom < a.bottom) {
    out->push_back(RECT{a.left, b.bottom, a.right, a.bottom});
    bottom = b.bottom;
  }
  if (b.left > a.left) out->push_back(RECT{a.left, top, b.left, bottom});
  if (b.right < a.right) out->push_back(RECT{b.right, top, a.right, bottom});
}

// Joins pairs of rectangles whose union is itself a rectangle, until none is left.
void Merge(std::vector<RECT>* rects) {
  bool merged = true;
  while (merged) {
    merged = false;
    for (std::size_t i = 0; i < rects->size() && !merged; ++i) {
      for (std::size_t j = i + 1; j < rects->size(); ++j) {
        RECT& a = (*rects)[i];
        const RECT& b = (*rects)[j];
        bool horizontal = a.top == b.top && a.bottom == b.bottom && (a.right == b.left || b.right == a.left);
        bool vertical = a.left == b.left && a.right == b.right && (a.bottom == b.top || b.bottom == a.top);
        if (horizontal || vertical) {
          a = RECT{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                   std::max(a.bottom, b.bottom)};
          rects->erase(rects->begin() + std::ptrdiff_t(j));
          merged = true;
          break;
        }
      }
    }
  }
}

}  // namespace

void Region::Add(const RECT& r) {
  if (RectEmpty(r)) return;
  std::vector<RECT> pieces{r};
  std::vector<RECT> next;
  for (const RECT& existing : rects_) {
    next.clear();
    for (const RECT& p : pieces) SubtractInto(p, existing, &next);
    pieces.swap(next);
    if (pieces.empty()) return;  // already covered
  }
  rects_.insert(rects_.end(), pieces.begin(), pieces.end());
  Merge(&rects_);
}

void Region::Subtract(const RECT& r) {
  if (RectEmpty(r) || rects_.empty()) return;
  std::vector<RECT> out;
  out.reserve(rects_.size() + 4);
  for (const RECT& a : rects_) SubtractInto(a, r, &out);
  rects_.swap(out);
  Merge(&rects_);
}

void Region::IntersectWith(const RECT& r) {
  std::vector<RECT> out;
  out.reserve(rects_.size());
  for (const RECT& a : rects_) {
    RECT i = Intersect(a, r);
    if (!RectEmpty(i)) out.push_back(i);
  }
  rects_.swap(out);
}

void Region::IntersectWith(const Region& other) {
  // Both lists are disjoint, so the pairwise intersections are too.
  std::vector<RECT> out;
  for (const RECT& a : rects_) {
    for (const RECT& b : other.rects_) {
      RECT i = Intersect(a, b);
      if (!RectEmpty(i)) out.push_back(i);
    }
  }
  rects_.swap(out);
  Merge(&rects_);
}

void Region::OffsetBy(int dx, int dy) {
  for (RECT& a : rects_) a = Offset(a, dx, dy);
}

RECT Region::Bounds() const {
  if (rects_.empty()) return RECT{0, 0, 0, 0};
  RECT b = rects_.front();
  for (const RECT& a : rects_) {
    b.left = std::min(b.left, a.left);
    b.top = std::min(b.top, a.top);
    b.right = std::max(b.right, a.right);
    b.bottom = std::max(b.bottom, a.bottom);
  }
  return b;
}

bool Region::Contains(int x, int y) const {
  for (const RECT& a : rects_) {
    if (x >= a.left && x < a.right && y >= a.top && y < a.bottom) return true;
  }
  return false;
}

}  // namespace ce
