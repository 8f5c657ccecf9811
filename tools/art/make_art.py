#!/usr/bin/env python3
"""Draws every picture of the game as SVG and renders the bitmaps.

For each picture this writes resources/art/<small number>.svg, drawn at the
small screen's size, and renders it with rsvg-convert at zoom 1 into
resources/bitmaps/<small>.bmp and at zoom 2 into resources/bitmaps/<large>.bmp,
so a large twin is always exactly twice its small picture and just as crisp.
The icon goes to resources/icons/425.bmp, and through app_icon.py to the
desktop's application icons in dist/icons/.

Keyed pictures are rendered against transparency and cut at half alpha: what
is less than half covered becomes exactly the key colour, everything else is
made opaque over the picture's edge colour (its dark outline), so no edge is
ever blended towards the key and no pink fringe can appear.

Fonts (Debian packages): fonts-league-spartan, fonts-dejavu-core.
Usage: make_art.py [--root DIR]
"""

import argparse
import math
import os
import subprocess
import sys

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import app_icon  # noqa: E402
import imaging  # noqa: E402

KEY = (255, 204, 255)
KEY_MENU = (204, 153, 255)
KEY_386 = (254, 203, 254)

BLACK = "#000000"
SETTINGS_GREY = "#dedfde"   # (222, 223, 222): the settings screen
BAND_GREY = "#c6c7c6"       # (198, 199, 198): the settings title band
BORDER_GREY = "#393839"     # (57, 56, 57): the settings border

REQUIRED_FONTS = ["League Spartan", "DejaVu Sans"]

# --------------------------------------------------------------------------
# SVG helpers


def svg_doc(w, h, body, defs=""):
    return (f'<svg xmlns="http://www.w3.org/2000/svg" width="{w}" height="{h}" '
            f'viewBox="0 0 {w} {h}">\n<defs>{defs}</defs>\n{body}\n</svg>\n')


def lin(gid, stops, x1=0, y1=0, x2=0, y2=1):
    s = "".join(f'<stop offset="{o}" stop-color="{c}"/>' for o, c in stops)
    return (f'<linearGradient id="{gid}" x1="{x1}" y1="{y1}" x2="{x2}" y2="{y2}">{s}</linearGradient>')


def rad(gid, stops, cx=0.5, cy=0.5, r=0.5, fx=None, fy=None):
    fx = cx if fx is None else fx
    fy = cy if fy is None else fy
    s = "".join(f'<stop offset="{o}" stop-color="{c}"/>' for o, c in stops)
    return (f'<radialGradient id="{gid}" cx="{cx}" cy="{cy}" r="{r}" fx="{fx}" fy="{fy}">{s}</radialGradient>')


def rect(x, y, w, h, fill, extra=""):
    return f'<rect x="{x}" y="{y}" width="{w}" height="{h}" fill="{fill}" {extra}/>'


_measure_cache = {}


def measure(text, family, weight):
    """Ink bounding box of text at font-size 100 with its origin at (0, 0)."""
    key = (text, family, weight)
    if key not in _measure_cache:
        body = (f'<text x="100" y="150" font-family="{family}" font-weight="{weight}" '
                f'font-size="100" fill="#000">{esc(text)}</text>')
        img = imaging.render_svg(svg_doc(200 + 100 * len(text), 200, body))
        xs, ys = [], []
        for y in range(img.height):
            for x in range(img.width):
                if img.pixels[y * img.width + x][3] > 100:
                    xs.append(x)
                    ys.append(y)
        if not xs:
            raise RuntimeError(f"font {family} drew nothing for {text!r}")
        _measure_cache[key] = (min(xs) - 100, min(ys) - 150, max(xs) + 1 - 100, max(ys) + 1 - 150)
    return _measure_cache[key]


def esc(t):
    return t.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;")


def fit_text(text, box, fill, family="League Spartan", weight=900, stroke=None, sw=0.0,
             align="center", squeeze=0.8, valign="center"):
    """Text whose ink exactly fills box (x, y, w, h) in height, or in width when
    the text is too long (squeezed down to `squeeze` of its shape first).
    The outline of width sw lies inside the box."""
    bx, by, bw, bh = box
    bx += sw / 2
    by += sw / 2
    bw -= sw
    bh -= sw
    x0, y0, x1, y1 = measure(text, family, weight)
    tw, th = x1 - x0, y1 - y0
    sy = bh / th
    sx = bw / tw
    if sx >= sy:
        sx = sy
    elif sx < sy * squeeze:
        sy = sx / squeeze
    inkw, inkh = tw * sx, th * sy
    if align == "center":
        ox = bx + (bw - inkw) / 2
    elif align == "left":
        ox = bx
    else:
        ox = bx + bw - inkw
    oy = by + (bh - inkh) / 2 if valign == "center" else by
    tx = ox - x0 * sx
    ty = oy - y0 * sy
    t = f'font-family="{family}" font-weight="{weight}" font-size="100"'
    out = f'<g transform="translate({tx:.3f} {ty:.3f}) scale({sx:.5f} {sy:.5f})">'
    if stroke:
        s = sw / ((sx + sy) / 2)
        out += (f'<text x="0" y="0" {t} fill="{stroke}" stroke="{stroke}" stroke-width="{s:.3f}" '
                f'stroke-linejoin="round">{esc(text)}</text>')
    out += f'<text x="0" y="0" {t} fill="{fill}">{esc(text)}</text></g>'
    return out


# --------------------------------------------------------------------------
# Items: drawn in a 42 x 45 cell; each returns (defs, body) without background


def fruit_cherries(p="ch"):
    d = (rad(p + "r", [(0, "#ff8a80"), (0.45, "#e8141e"), (1, "#8c0010")], cx=0.38, cy=0.35, r=0.65)
         + lin(p + "l", [(0, "#8ee05a"), (1, "#2f8a1c")]))
    b = f'''
<path d="M14 29 C15 20 19 13 23.5 9 M28 31 C27 22 25 14 23.5 9" fill="none" stroke="#1c3a0c" stroke-width="3.2" stroke-linecap="round"/>
<path d="M14 29 C15 20 19 13 23.5 9 M28 31 C27 22 25 14 23.5 9" fill="none" stroke="#5aa830" stroke-width="1.6" stroke-linecap="round"/>
<path d="M23.5 9 C26 3 33 3 36 6 C33 10 27 11 23.5 9 Z" fill="url(#{p}l)" stroke="#1c3a0c" stroke-width="1.2" stroke-linejoin="round"/>
<path d="M25 8.2 C28 6.5 31 6 34 6.2" fill="none" stroke="#1c3a0c" stroke-width="0.6"/>
<circle cx="13.5" cy="30" r="8.2" fill="url(#{p}r)" stroke="#3a0008" stroke-width="1.4"/>
<circle cx="28" cy="32" r="8.2" fill="url(#{p}r)" stroke="#3a0008" stroke-width="1.4"/>
<ellipse cx="10.8" cy="27" rx="2.4" ry="1.6" transform="rotate(-35 10.8 27)" fill="#ffffff" opacity="0.92"/>
<ellipse cx="25.3" cy="29" rx="2.4" ry="1.6" transform="rotate(-35 25.3 29)" fill="#ffffff" opacity="0.92"/>
'''
    return d, b


def fruit_strawberry(p="st"):
    d = (rad(p + "r", [(0, "#ff7a7a"), (0.5, "#ee1c2c"), (1, "#9a0014")], cx=0.4, cy=0.35, r=0.7)
         + lin(p + "l", [(0, "#8ee05a"), (1, "#2f8a1c")]))
    seeds = ""
    for (x, y) in [(14, 19), (21, 18), (28, 19), (11.5, 24), (18, 24), (24.5, 24), (31, 24),
                   (15, 29.5), (21.5, 29.5), (27.5, 29), (18.5, 34.5), (23.5, 34.5)]:
        seeds += f'<ellipse cx="{x}" cy="{y}" rx="0.95" ry="1.4" fill="#ffe97a" stroke="#8a5a00" stroke-width="0.35"/>'
    b = f'''
<path d="M7.5 19 C7.5 12 34.5 12 34.5 19 C34.5 28 27 37 21 41 C15 37 7.5 28 7.5 19 Z" fill="url(#{p}r)" stroke="#480008" stroke-width="1.4" stroke-linejoin="round"/>
{seeds}
<path d="M21 14.5 L14 17 L16.5 12.5 L10.5 11 L17 10 L15.5 6.5 L20 9 L21 4.5 L22 9 L26.5 6.5 L25 10 L31.5 11 L25.5 12.5 L28 17 Z" fill="url(#{p}l)" stroke="#1c3a0c" stroke-width="1.1" stroke-linejoin="round"/>
<ellipse cx="13.5" cy="18.5" rx="2.6" ry="1.6" transform="rotate(-25 13.5 18.5)" fill="#ffffff" opacity="0.85"/>
'''
    return d, b


def fruit_orange(p="or"):
    d = (rad(p + "o", [(0, "#ffe0a0"), (0.35, "#ffa21a"), (1, "#d45a00")], cx=0.38, cy=0.36, r=0.68)
         + lin(p + "l", [(0, "#8ee05a"), (1, "#2f8a1c")]))
    b = f'''
<circle cx="21" cy="25.5" r="14.3" fill="url(#{p}o)" stroke="#6a2e00" stroke-width="1.4"/>
<path d="M21 12 C21 10 21.5 8.5 22.5 7.5" fill="none" stroke="#3a2200" stroke-width="1.6" stroke-linecap="round"/>
<path d="M22.5 9.5 C25 5 31 4.5 34 6.5 C31 10.5 26 11.5 22.5 9.5 Z" fill="url(#{p}l)" stroke="#1c3a0c" stroke-width="1.1" stroke-linejoin="round"/>
<ellipse cx="15" cy="19.5" rx="3.6" ry="2.3" transform="rotate(-35 15 19.5)" fill="#ffffff" opacity="0.85"/>
'''
    return d, b


def fruit_grapes(p="gr"):
    d = (rad(p + "g", [(0, "#d9b3ff"), (0.45, "#8a3ad6"), (1, "#3e0c78")], cx=0.38, cy=0.35, r=0.68)
         + lin(p + "l", [(0, "#8ee05a"), (1, "#2f8a1c")]))
    rows = [(15.5, [8.2, 16.4, 24.6, 32.8]), (23, [12.3, 20.5, 28.7]), (30.5, [16.4, 24.6]), (38, [20.5])]
    g = ""
    for y, xs in rows:
        for x in xs:
            g += f'<circle cx="{x}" cy="{y}" r="4.6" fill="url(#{p}g)" stroke="#24063f" stroke-width="1.1"/>'
            g += f'<ellipse cx="{x - 1.5}" cy="{y - 1.6}" rx="1.3" ry="0.9" fill="#ffffff" opacity="0.85"/>'
    b = f'''
<path d="M20.5 11 C20.5 8 21 6 22.5 4.5" fill="none" stroke="#3a2200" stroke-width="1.8" stroke-linecap="round"/>
<path d="M22 8 C24 3 31 2.5 34.5 5 C31 9 25 10 22 8 Z" fill="url(#{p}l)" stroke="#1c3a0c" stroke-width="1.1" stroke-linejoin="round"/>
{g}
'''
    return d, b


def fruit_watermelon(p="wm"):
    d = (rad(p + "f", [(0, "#ff8a8a"), (0.7, "#f0283c"), (1, "#d0102a")], cx=0.5, cy=0.1, r=0.9)
         + lin(p + "g", [(0, "#4cc24c"), (1, "#1d6e1d")]))
    seeds = ""
    for (x, y, a) in [(13, 19, 20), (21, 20.5, 0), (29, 19, -20), (17, 25, 12), (25, 25, -12), (21, 29.5, 0)]:
        seeds += f'<ellipse cx="{x}" cy="{y}" rx="1.05" ry="1.9" transform="rotate({a} {x} {y})" fill="#1a1a1a"/>'
    b = f'''
<g transform="translate(0 3.5) rotate(-10 21 20) translate(21 20) scale(0.92) translate(-21 -20)">
<path d="M2.5 14 L39.5 14 A18.5 18.5 0 0 1 2.5 14 Z" fill="url(#{p}g)" stroke="#0c3a0c" stroke-width="1.4" stroke-linejoin="round"/>
<path d="M5.3 14 L36.7 14 A15.7 15.7 0 0 1 5.3 14 Z" fill="#eaffd6"/>
<path d="M6.8 14 L35.2 14 A14.2 14.2 0 0 1 6.8 14 Z" fill="url(#{p}f)"/>
<path d="M2.5 14 L39.5 14" stroke="#0c3a0c" stroke-width="1.4" stroke-linecap="round"/>
{seeds}
<path d="M8 16 L15 16" stroke="#ffffff" stroke-width="1.3" stroke-linecap="round" opacity="0.8"/>
</g>
'''
    return d, b


def fruit_bell(p="be"):
    d = lin(p + "b", [(0, "#fff4a8"), (0.35, "#ffd21a"), (0.75, "#e8a000"), (1, "#a86800")], x2=1, y2=0.25)
    b = f'''
<circle cx="21" cy="39" r="3.4" fill="#b07000" stroke="#4a2e00" stroke-width="1.2"/>
<circle cx="21" cy="7.5" r="2.8" fill="url(#{p}b)" stroke="#4a2e00" stroke-width="1.2"/>
<path d="M21 9.5 C12 9.5 10.5 17 10.5 25 C10.5 30 8.5 32.5 5.5 35 L36.5 35 C33.5 32.5 31.5 30 31.5 25 C31.5 17 30 9.5 21 9.5 Z" fill="url(#{p}b)" stroke="#4a2e00" stroke-width="1.4" stroke-linejoin="round"/>
<ellipse cx="21" cy="35.2" rx="16" ry="2.8" fill="#d89400" stroke="#4a2e00" stroke-width="1.3"/>
<path d="M15 14 C13.5 17 13.3 22 13.5 27" fill="none" stroke="#ffffff" stroke-width="2" stroke-linecap="round" opacity="0.85"/>
'''
    return d, b


def face_super(p="su", with_word=True):
    d = rad(p + "y", [(0, "#fffbc8"), (0.5, "#ffe01a"), (1, "#e89a00")], cx=0.4, cy=0.35, r=0.7)
    word = ""
    if with_word:
        word = fit_text("SUPER", (3.5, 32.5, 35, 11), "#f01414", stroke="#4a0000", sw=1.8)
    b = f'''
<circle cx="21" cy="19" r="14.5" fill="url(#{p}y)" stroke="#5a3a00" stroke-width="1.4"/>
<ellipse cx="16" cy="14.5" rx="1.9" ry="2.8" fill="#2a1400"/>
<ellipse cx="26" cy="14.5" rx="1.9" ry="2.8" fill="#2a1400"/>
<circle cx="15.4" cy="13.4" r="0.7" fill="#ffffff"/>
<circle cx="25.4" cy="13.4" r="0.7" fill="#ffffff"/>
<circle cx="11.5" cy="20.5" r="2.2" fill="#ff7a5a" opacity="0.6"/>
<circle cx="30.5" cy="20.5" r="2.2" fill="#ff7a5a" opacity="0.6"/>
<path d="M13.5 20.5 Q21 30 28.5 20.5 Q21 25 13.5 20.5 Z" fill="#a8141e" stroke="#4a1400" stroke-width="1.2" stroke-linejoin="round"/>
<ellipse cx="14.5" cy="10" rx="3" ry="1.8" transform="rotate(-35 14.5 10)" fill="#ffffff" opacity="0.8"/>
{word}
'''
    return d, b


FRUITS = {
    "Cherries": fruit_cherries, "Strawberry": fruit_strawberry, "Orange": fruit_orange,
    "Grapes": fruit_grapes, "Watermelon": fruit_watermelon, "Bell": fruit_bell, "Super": face_super,
}


def item_cell(name):
    # A white reel cell; the two outer columns on each side are shaded like the
    # curve of a drum, the same in every item so sliding pictures line up.
    d = lin("edge", [(0, "#c9ccd4"), (0.048, "#eceef2"), (0.07, "#ffffff"), (0.93, "#ffffff"),
                     (0.952, "#eceef2"), (1, "#c9ccd4")], x2=1, y2=0)
    body = rect(0, 0, 42, 45, "url(#edge)")
    if name != "Blank":
        fd, fb = FRUITS[name]()
        d += fd
        body += fb
    return svg_doc(42, 45, body, d)


# --------------------------------------------------------------------------
# The play screen's frame: one drawing of the whole cabinet, cut into pieces


def cabinet_defs():
    return (lin("cabV", [(0, "#5b6175"), (0.2, "#e9ecf4"), (0.45, "#aab0c2"), (0.8, "#6c7287"), (1, "#2c3040")], x2=1, y2=0)
            + lin("cabVr", [(0, "#2c3040"), (0.2, "#6c7287"), (0.55, "#aab0c2"), (0.8, "#e9ecf4"), (1, "#5b6175")], x2=1, y2=0)
            + lin("cabH", [(0, "#5b6175"), (0.2, "#e9ecf4"), (0.45, "#aab0c2"), (0.8, "#6c7287"), (1, "#2c3040")]))


def cabinet_body():
    return (rect(0, 0, 15, 320, "url(#cabV)") + rect(225, 0, 15, 320, "url(#cabVr)")
            + '<path d="M0 0 L240 0 L240 15 L225 15 L225 15 L15 15 L15 15 L0 15 Z" fill="url(#cabH)"/>'
            + '<path d="M0 0 L15 15 M240 0 L225 15" stroke="#2c3040" stroke-width="0.8" opacity="0.5"/>'
            + "".join(f'<circle cx="{x}" cy="7.5" r="2.2" fill="#d6dae6" stroke="#3a3f50" stroke-width="0.8"/>'
                      f'<path d="M{x - 1.3} {7.5 + 1.3} L{x + 1.3} {7.5 - 1.3}" stroke="#3a3f50" stroke-width="0.7"/>'
                      for x in (7.5, 232.5))
            + "".join(f'<circle cx="{x}" cy="{y}" r="2.2" fill="#d6dae6" stroke="#3a3f50" stroke-width="0.8"/>'
                      f'<path d="M{x - 1.3} {y + 1.3} L{x + 1.3} {y - 1.3}" stroke="#3a3f50" stroke-width="0.7"/>'
                      for x in (7.5, 232.5) for y in (120, 200)))


def cabinet_piece(x, y, w, h):
    body = (rect(0, 0, w, h, BLACK)
            + f'<g transform="translate({-x} {-y})">{cabinet_body()}</g>')
    return svg_doc(w, h, body, cabinet_defs())


# The bottom panel, in its own coordinates (0, 0) = screen (0, 244).

def panel_defs():
    return (lin("pnl", [(0, "#eef0f5"), (0.12, "#c9cdd8"), (0.6, "#a4a9b8"), (1, "#7c8192")])
            + lin("pnlEdge", [(0, "#ffffff"), (1, "#d8dbe4")]))


def panel_background():
    b = rect(0, 0, 240, 76, "url(#pnl)")
    b += rect(0, 0, 240, 1, "#ffffff") + rect(0, 1, 240, 1, "#5b6175")
    b += rect(0, 75, 240, 1, "#3a3f50")
    b += rect(0, 0, 2, 76, "#d8dbe4") + rect(238, 0, 2, 76, "#5b6175")
    # Brushed-metal streaks.
    for i, yy in enumerate(range(4, 76, 3)):
        b += rect(2, yy, 236, 0.6, "#ffffff" if i % 2 else "#7c8192", 'opacity="0.12"')
    return b


def meter_window(x0, y0, x1, y1):
    return (rect(x0 - 1, y0 - 1, x1 - x0 + 2, y1 - y0 + 2, "#4a4f60")
            + rect(x0, y1, x1 - x0 + 1, 1, "#ffffff")
            + rect(x1, y0, 1, y1 - y0 + 1, "#ffffff")
            + rect(x0, y0, x1 - x0, y1 - y0, BLACK))


def panel_picture():
    d = panel_defs()
    b = panel_background()
    # The windows stop short of the buttons below them (MAKE SCORE from y 26,
    # Spin All from y 24), whose pictures are copied over the panel.
    b += meter_window(32, 9, 91, 24)            # score: numbers at (34, 10), 54 x 14
    b += meter_window(104, 9, 135, 24)          # bet: numbers at (106, 10), 18 x 14, then the sign
    b += fit_text("%", (125.5, 11.5, 8.5, 10), "#fcbf00", family="DejaVu Sans", weight="bold")
    b += meter_window(140, 9, 199, 22)          # life: bar at (151, 14), 45 x 7
    b += rect(151, 14, 45, 7, "#4a5059")
    sun = '<g transform="translate(145 17.5)">'
    for k in range(8):
        a = k * 45
        sun += f'<path d="M0 -3.2 L0 -4.6" transform="rotate({a})" stroke="#ffd21a" stroke-width="1.1" stroke-linecap="round"/>'
    sun += '<circle r="2.4" fill="#ffd21a" stroke="#ff8a00" stroke-width="0.6"/></g>'
    b += sun
    # A name plate where the bet keys go: only the modes without bets show it,
    # the keys' picture covers it whole.
    d += lin("plate", [(0, "#8c92a4"), (1, "#b8bdca")])
    b += ('<rect x="84.5" y="35.5" width="59" height="19" rx="4" fill="url(#plate)" stroke="#5b6175" stroke-width="1"/>'
          '<path d="M86 54.5 L142 54.5" stroke="#ffffff" stroke-width="1" opacity="0.7"/>')
    # Five lamps in the colours of the fruit.
    for i, c in enumerate(["#ff3a3a", "#ff9a1a", "#ffe01a", "#5ad23a", "#a060ff"]):
        x = 94 + 10 * i
        b += (f'<circle cx="{x}" cy="45" r="3.6" fill="{c}" stroke="#3a3f50" stroke-width="1"/>'
              f'<circle cx="{x - 1.1}" cy="43.9" r="1.1" fill="#ffffff" opacity="0.85"/>')
    # The buttons printed on the panel: both shown in their unusable look, as a
    # game begins.
    bd, bb = make_score_button("disabled", inner=True)
    d += bd
    b += f'<g transform="translate(23 26)">{bb}</g>'
    sd, sb = spin_all_button("disabled", inner=True)
    d += sd
    b += f'<g transform="translate(164 24)">{sb}</g>'
    return svg_doc(240, 76, b, d)


def on_panel(x, y, w, h, d, b):
    """A control of the bottom panel: the panel's own metal lies around it."""
    body = f'<g transform="translate({-x} {-y})">{panel_background()}</g>' + b
    return svg_doc(w, h, body, panel_defs() + d)


# --------------------------------------------------------------------------
# Buttons


def spin_all_button(look, inner=False):
    p = "sp" + look[0]
    cy = 21 if look != "pressed" else 22.5
    if look == "enabled":
        fill = [(0, "#fffbd0"), (0.45, "#ffd81a"), (1, "#e88a00")]
        rim, txt, tstroke, hl = "#7a3a00", "#c01800", "#fff6c0", 0.6
    elif look == "pressed":
        fill = [(0, "#ffe27a"), (0.5, "#f0aa00"), (1, "#b86a00")]
        rim, txt, tstroke, hl = "#5a2a00", "#8a1000", "#ffe07a", 0.2
    else:
        fill = [(0, "#e8e4cc"), (0.5, "#c9c2a0"), (1, "#9a9378")]
        rim, txt, tstroke, hl = "#6a6658", "#8a8470", "#e4e0cc", 0.0
    d = rad(p + "f", fill, cx=0.42, cy=0.35, r=0.72)
    b = ""
    if look != "pressed":
        b += f'<ellipse cx="26" cy="{cy + 2.2}" rx="24.2" ry="19.4" fill="#2c3040" opacity="0.45"/>'
    b += f'<ellipse cx="26" cy="{cy}" rx="24" ry="19.2" fill="url(#{p}f)" stroke="{rim}" stroke-width="1.5"/>'
    b += f'<ellipse cx="26" cy="{cy}" rx="20.5" ry="15.8" fill="none" stroke="#ffffff" stroke-width="0.8" opacity="{0.5 if look != "disabled" else 0.3}"/>'
    if hl:
        b += f'<ellipse cx="24" cy="{cy - 10}" rx="14" ry="5.5" fill="#ffffff" opacity="{hl}"/>'
    b += fit_text("SPIN", (11, cy - 12, 30, 11), txt, stroke=tstroke, sw=1.4)
    b += fit_text("ALL", (14, cy + 1.5, 24, 11), txt, stroke=tstroke, sw=1.4)
    if inner:
        return d, b
    return on_panel(164, 24, 52, 44, d, b)


def make_score_button(look, inner=False):
    p = "ms" + look[0]
    cy = 17 if look != "pressed" else 18
    if look == "enabled":
        fill = [(0, "#a8dcff"), (0.45, "#2680ea"), (1, "#0a3c9a")]
        rim, txt, tstroke, hl = "#041c50", "#ffffff", "#062a70", 0.55
    elif look == "pressed":
        fill = [(0, "#e4f4ff"), (0.5, "#7cc2ff"), (1, "#3a88dc")]
        rim, txt, tstroke, hl = "#0a3070", "#ffffff", "#0a3c90", 0.3
    else:
        fill = [(0, "#5a6f92"), (0.5, "#2c4266"), (1, "#16243c")]
        rim, txt, tstroke, hl = "#0a1424", "#7d8aa0", "#16243c", 0.0
    d = rad(p + "f", fill, cx=0.42, cy=0.35, r=0.72)
    b = ""
    if look != "pressed":
        b += f'<circle cx="19.5" cy="{cy + 1.8}" r="16.4" fill="#2c3040" opacity="0.45"/>'
    b += f'<circle cx="19.5" cy="{cy}" r="16.2" fill="url(#{p}f)" stroke="{rim}" stroke-width="1.4"/>'
    if hl:
        b += f'<ellipse cx="18" cy="{cy - 9}" rx="9.5" ry="4" fill="#ffffff" opacity="{hl}"/>'
    b += fit_text("MAKE", (8.5, cy - 8, 22, 7.5), txt, stroke=tstroke, sw=1.2)
    b += fit_text("SCORE", (5.5, cy + 0.5, 28, 7.5), txt, stroke=tstroke, sw=1.2)
    if inner:
        return d, b
    return on_panel(23, 26, 39, 36, d, b)


def bet_key(label, look, p):
    """One bet key, 34 x 31."""
    if look == "pressed":
        fill = [(0, "#ff9a5a"), (1, "#c83a00")]
        top = 4
    else:
        fill = [(0, "#ffd0a0"), (0.4, "#ff8a2a"), (1, "#e04a00")]
        top = 1.5
    d = lin(p, fill)
    b = ""
    if look != "pressed":
        b += '<rect x="1.5" y="4.5" width="31" height="25" rx="5" fill="#7a2400" stroke="#3a1000" stroke-width="1"/>'
    b += f'<rect x="1.5" y="{top}" width="31" height="25" rx="5" fill="url(#{p})" stroke="#3a1000" stroke-width="1.2"/>'
    if look != "pressed":
        b += f'<rect x="4" y="{top + 1.5}" width="26" height="7" rx="3.5" fill="#ffffff" opacity="0.45"/>'
    b += fit_text(label, (5, top + 6.5, 24, 12), "#ffffff", stroke="#5a1800", sw=1.6)
    return d, b


def bet_keys_both():
    d1, b1 = bet_key("BET-", "normal", "bk1")
    d2, b2 = bet_key("BET+", "normal", "bk2")
    return on_panel(80, 29, 68, 31, d1 + d2, b1 + f'<g transform="translate(34 0)">{b2}</g>')


def bet_key_pressed(label, x):
    d, b = bet_key(label, "pressed", "bkp")
    return on_panel(x, 29, 34, 31, d, b)


def arrow_button(direction, look):
    if look == "enabled":
        d = lin("k", [(0, "#ffffff"), (0.6, "#eef0f5"), (1, "#c4c9d6")])
        rim, chev, y_off = "#5b6175", "#1a56e0", 0
    elif look == "pressed":
        d = lin("k", [(0, "#7f9ccc"), (0.35, "#a9c2ea"), (1, "#cfe0fa")])
        rim, chev, y_off = "#1c2850", "#08206e", 1
    else:
        d = lin("k", [(0, "#b4b7be"), (1, "#a4a7ae")])
        rim, chev, y_off = "#6a6e78", "#82868f", 0
    b = rect(0, 0, 42, 15, BLACK)
    b += f'<rect x="1.5" y="1.5" width="39" height="12" rx="4" fill="url(#k)" stroke="{rim}" stroke-width="1"/>'
    if look == "enabled":
        b += '<path d="M5 2.6 L37 2.6" stroke="#ffffff" stroke-width="1" stroke-linecap="round"/>'
    cy = 7.5 + y_off
    if direction == "up":
        pts = f"14,{cy + 2.6} 21,{cy - 2.6} 28,{cy + 2.6}"
    else:
        pts = f"14,{cy - 2.6} 21,{cy + 2.6} 28,{cy - 2.6}"
    b += f'<polyline points="{pts}" fill="none" stroke="{chev}" stroke-width="2.8" stroke-linecap="round" stroke-linejoin="round"/>'
    return svg_doc(42, 15, b, d)


def corner_icon(kind):
    if kind == "abandon":
        d = lin("c", [(0, "#ff7a6a"), (1, "#c00a00")])
        rim = "#4a0000"
        mark = ('<path d="M5.2 5.2 L11.8 11.8 M11.8 5.2 L5.2 11.8" stroke="#ffffff" stroke-width="2.4" '
                'stroke-linecap="round"/>')
    else:
        d = lin("c", [(0, "#c8ccd6"), (1, "#5d6270")])
        rim = "#22252e"
        mark = '<path d="M4.8 10.5 L12.2 10.5" stroke="#ffffff" stroke-width="2.4" stroke-linecap="round"/>'
    b = (f'<rect x="0.6" y="0.6" width="15.8" height="15.8" rx="3" fill="url(#c)" stroke="{rim}" stroke-width="1.2"/>'
         '<rect x="2.5" y="2" width="12" height="4" rx="2" fill="#ffffff" opacity="0.35"/>' + mark)
    return svg_doc(17, 17, b, d)


# --------------------------------------------------------------------------
# Match lines, banners, cursor

def line_defs():
    return lin("ml", [(0, "#fff9b0"), (0.5, "#ffe01a"), (1, "#ffb000")])


def match_line_h(w):
    b = f'<rect x="0.6" y="0.6" width="{w - 1.2}" height="6.8" rx="3.4" fill="url(#ml)" stroke="#a04800" stroke-width="1.2"/>'
    b += f'<rect x="3" y="2" width="{w - 6}" height="1.4" rx="0.7" fill="#ffffff" opacity="0.75"/>'
    return svg_doc(w, 8, b, line_defs())


def match_line_v():
    d = lin("ml", [(0, "#fff9b0"), (0.5, "#ffe01a"), (1, "#ffb000")], x2=1, y2=0)
    b = '<rect x="0.6" y="0.6" width="6.8" height="133.8" rx="3.4" fill="url(#ml)" stroke="#a04800" stroke-width="1.2"/>'
    b += '<rect x="2" y="3" width="1.4" height="129" rx="0.7" fill="#ffffff" opacity="0.75"/>'
    return svg_doc(8, 135, b, d)


def match_line_diag(rising):
    # From the first to the third cell centre of the diagonal, a little beyond.
    if rising:
        x1, y1, x2, y2 = 10, 124, 116, 11
    else:
        x1, y1, x2, y2 = 10, 11, 116, 124
    b = (f'<path d="M{x1} {y1} L{x2} {y2}" stroke="#a04800" stroke-width="8" stroke-linecap="round"/>'
         f'<path d="M{x1} {y1} L{x2} {y2}" stroke="#ffd81a" stroke-width="5.6" stroke-linecap="round"/>'
         f'<path d="M{x1} {y1} L{x2} {y2}" stroke="#fff9b0" stroke-width="1.5" stroke-linecap="round" '
         f'transform="translate(-1.1 -1)"/>')
    return svg_doc(126, 135, b)


def banner_defs():
    return lin("bn", [(0, "#fffbd0"), (0.3, "#fff01a"), (0.7, "#ffc400"), (1, "#ff8a00")])


def banner_text(text, w):
    b = fit_text(text, (1, 1, w - 2, 38), "url(#bn)", stroke="#2a0a00", sw=3.6, squeeze=0.86)
    return svg_doc(w, 40, b, banner_defs())


def score_box():
    d = (lin("gf", [(0, "#fff2a0"), (0.35, "#ffd21a"), (0.7, "#d89600"), (1, "#a86a00")])
         + lin("gi", [(0, "#fff8c8"), (1, "#ffec80")]))
    b = ('<rect x="0.7" y="0.7" width="174.6" height="38.6" rx="7" fill="url(#gf)" stroke="#4a2a00" stroke-width="1.4"/>'
         '<rect x="5" y="5" width="166" height="30" rx="4" fill="url(#gi)" stroke="#9a6400" stroke-width="1"/>')
    return svg_doc(176, 40, b, d)


def cursor_marker():
    b = '<path d="M0.6 0.6 L5.6 6 L0.6 11.4 Z" fill="#b00000" stroke="#4a0000" stroke-width="0.9" stroke-linejoin="round"/>'
    return svg_doc(6, 12, b)


# --------------------------------------------------------------------------
# Main menu


def swirl_background():
    cx, cy = 120, 132
    d = rad("bg", [(0, "#c070ff"), (0.35, "#7a26c8"), (1, "#2a0656")], cx=0.5, cy=0.41, r=0.75)
    b = rect(0, 0, 240, 320, "url(#bg)")
    arms = 14
    for k in range(arms):
        a0 = 2 * math.pi * k / arms
        lead, trail = [], []
        for i in range(0, 61):
            r = i * 6.0
            th = a0 + r * 0.011
            lead.append((cx + r * math.cos(th), cy + r * math.sin(th)))
            th2 = th + math.pi / arms
            trail.append((cx + r * math.cos(th2), cy + r * math.sin(th2)))
        pts = lead + trail[::-1]
        path = "M" + " L".join(f"{x:.1f} {y:.1f}" for x, y in pts) + " Z"
        b += f'<path d="{path}" fill="#e0a8ff" opacity="0.16"/>'
    d += rad("vig", [(0, "#000000"), (0.6, "#000000"), (1, "#12002a")], cx=0.5, cy=0.45, r=0.8)
    b += rect(0, 0, 240, 320, "url(#vig)", 'opacity="0.0"')
    d += rad("glow", [(0, "#ffffff"), (1, "#ffffff")])
    b += f'<circle cx="{cx}" cy="{cy}" r="26" fill="#ffffff" opacity="0.10"/>'
    b += f'<circle cx="{cx}" cy="{cy}" r="12" fill="#ffffff" opacity="0.10"/>'
    return svg_doc(240, 320, b, d)


def place(fn, x, y, s, prefix):
    fd, fb = fn(prefix)
    return fd, f'<g transform="translate({x} {y}) scale({s})">{fb}</g>'


def game_logo():
    d, b = "", ""
    for fn, x, y, s, p in [(fruit_grapes, 2, 4, 1.05, "lg"), (fruit_orange, 42, 22, 1.0, "lo"),
                           (fruit_strawberry, 138, 18, 1.0, "ls"), (fruit_cherries, 172, 0, 1.1, "lc")]:
        fd, fb = place(fn, x, y, s, p)
        d += fd
        b += fb
    d += (lin("jar", [(0, "#cfeeff"), (0.3, "#ffffff"), (0.6, "#d8f2ff"), (1, "#9ad2f0")], x2=1, y2=0)
          + lin("smo", [(0, "#ff9ab0"), (1, "#e8284a")])
          + lin("base", [(0, "#ff6a5a"), (0.5, "#d01818"), (1, "#8a0000")], x2=1, y2=0)
          + lin("lid", [(0, "#ff6a5a"), (1, "#9a0a0a")]))
    # The blender: a glass jar full of fruit, a lid and a red motor base.
    b += '''
<path d="M122 22 C136 22 138 30 137 44 C136 54 131 58 124 58" fill="none" stroke="#2a0848" stroke-width="5" stroke-linecap="round"/>
<path d="M122 22 C136 22 138 30 137 44 C136 54 131 58 124 58" fill="none" stroke="#bfe6ff" stroke-width="2.6" stroke-linecap="round"/>
<path d="M89 14 L131 14 L124 62 L96 62 Z" fill="url(#jar)" stroke="#2a0848" stroke-width="1.6" stroke-linejoin="round"/>
<path d="M93.2 36 C100 33 110 39 127.6 34 L124.4 60.6 L96.6 60.6 Z" fill="url(#smo)"/>
<circle cx="103" cy="44" r="4.5" fill="#ff9a1a" stroke="#8a3a00" stroke-width="0.8"/>
<circle cx="116" cy="50" r="4" fill="#8a3ad6" stroke="#3e0c78" stroke-width="0.8"/>
<circle cx="108" cy="54" r="3.2" fill="#e8141e" stroke="#6a0010" stroke-width="0.8"/>
<path d="M96 18 L94 40" stroke="#ffffff" stroke-width="2.6" stroke-linecap="round" opacity="0.9"/>
<path d="M94 48 L93.4 54" stroke="#ffffff" stroke-width="1.6" stroke-linecap="round" opacity="0.7"/>
<rect x="86" y="7" width="48" height="8" rx="3" fill="url(#lid)" stroke="#2a0848" stroke-width="1.6"/>
<rect x="104" y="2" width="12" height="6" rx="2" fill="url(#lid)" stroke="#2a0848" stroke-width="1.4"/>
<path d="M95 62 L125 62 L131 80 L89 80 Z" fill="url(#base)" stroke="#2a0848" stroke-width="1.6" stroke-linejoin="round"/>
<circle cx="102" cy="71" r="2.6" fill="#ffe01a" stroke="#2a0848" stroke-width="0.9"/>
<circle cx="110" cy="71" r="2.6" fill="#5ad23a" stroke="#2a0848" stroke-width="0.9"/>
<circle cx="118" cy="71" r="2.6" fill="#ffffff" stroke="#2a0848" stroke-width="0.9"/>
'''
    d += lin("name", [(0, "#ffffff"), (0.25, "#fff36a"), (0.6, "#ffc800"), (1, "#ff7a00")])
    b += fit_text("MELVORIA", (2, 76, 216, 42), "url(#name)", stroke="#2a0848", sw=4.2, squeeze=0.7)
    return svg_doc(220, 120, b, d)


MENU_ROWS = [(0, 27), (28, 55), (56, 83), (84, 111), (112, 138)]


def menu_labels():
    d = lin("lab", [(0, "#ffffff"), (0.55, "#fff6c0"), (1, "#ffd84a")])
    b = ""
    for (y0, y1), label in zip(MENU_ROWS, ["EASY GAME", "HARD GAME", "MELVORIA", "HI-SCORES", "OPTIONS"]):
        mid = (y0 + y1) / 2
        b += fit_text(label, (1, mid - 9, 112, 18), "url(#lab)", stroke="#2a0848", sw=2.8, squeeze=0.8)
    return svg_doc(114, 138, b, d)


def maker_emblem(x, y, s):
    return (f'<g transform="translate({x} {y}) scale({s})">'
            '<circle cx="10" cy="10" r="9.3" fill="#1a2a8a" stroke="#0a0f3a" stroke-width="1.4"/>'
            '<path d="M3 14 L8 8 L11 11 L13.5 7.5 L17.5 14 Z" fill="#5ad23a" stroke="#0a3a0a" stroke-width="0.8" stroke-linejoin="round"/>'
            '<circle cx="13" cy="5.5" r="2" fill="#ffe01a"/>'
            '</g>')


def maker_logo_small():
    b = maker_emblem(0.5, 0.5, 0.75)
    b += fit_text("DUNMORROW", (16, 1.5, 53.5, 13), "#ffffff", stroke="#2a0848", sw=2.0, squeeze=0.7)
    return svg_doc(70, 16, b)


def maker_logo_about():
    d = lin("mk", [(0, "#2a4ab8"), (1, "#0a1a6a")])
    b = rect(0, 0, 103, 29, "#ffffff")
    b += maker_emblem(1, 2.5, 1.2)
    b += fit_text("DUNMORROW", (28, 3, 74, 15), "url(#mk)", squeeze=0.75)
    b += '<path d="M28 23 C50 18 76 27 101 21" fill="none" stroke="#ffb000" stroke-width="2.2" stroke-linecap="round"/>'
    return svg_doc(103, 29, b, d)


# --------------------------------------------------------------------------
# Hi-score screen


def title_picture(text, w):
    d = lin("tt", [(0, "#fffbd0"), (0.3, "#fff01a"), (0.7, "#ffc400"), (1, "#ff8a00")])
    b = rect(0, 0, w, 38, BLACK)
    b += fit_text(text, (1, 2, w - 2, 34), "url(#tt)", stroke="#8a2a00", sw=2.6, squeeze=0.75)
    return svg_doc(w, 38, b, d)


def tab_picture(digit, selected):
    if selected:
        d = rad("tb", [(0, "#fffbd0"), (0.45, "#ffd81a"), (1, "#ff8a00")], cx=0.42, cy=0.32, r=0.72)
        rim, txt, tstroke, hl = "#6a2a00", "#c00000", "#fff6c0", 0.6
    else:
        d = rad("tb", [(0, "#bfc1c6"), (0.5, "#8a8d94"), (1, "#55585e")], cx=0.42, cy=0.32, r=0.72)
        rim, txt, tstroke, hl = "#2a2b2e", "#3a3b3f", "#a4a6ab", 0.25
    b = rect(0, 0, 24, 32, BLACK)
    b += f'<ellipse cx="12" cy="16" rx="11.2" ry="15.2" fill="url(#tb)" stroke="{rim}" stroke-width="1.2"/>'
    b += f'<ellipse cx="11" cy="7.5" rx="6.5" ry="3.6" fill="#ffffff" opacity="{hl}"/>'
    b += fit_text(digit, (6, 7.5, 12, 17), txt, stroke=tstroke, sw=1.4)
    return svg_doc(24, 32, b, d)


def reset_button():
    b = rect(0, 0, 50, 17, BLACK)
    # Two arrows chasing each other round a circle.
    cx, cy, r = 8.5, 8.5, 5.2
    for start in (200, 20):
        a0, a1 = math.radians(start), math.radians(start + 120)
        x0, y0 = cx + r * math.cos(a0), cy + r * math.sin(a0)
        x1, y1 = cx + r * math.cos(a1), cy + r * math.sin(a1)
        b += (f'<path d="M{x0:.2f} {y0:.2f} A{r} {r} 0 0 1 {x1:.2f} {y1:.2f}" fill="none" '
              f'stroke="#ff2a1a" stroke-width="2.2"/>')
        # The head: a triangle along the circle's direction at the arc's end.
        tip = math.radians(start + 150)
        tx, ty = cx + r * math.cos(tip), cy + r * math.sin(tip)
        ox, oy = math.cos(a1), math.sin(a1)          # outward at the arc's end
        b += (f'<path d="M{tx:.2f} {ty:.2f} L{x1 + 2.6 * ox:.2f} {y1 + 2.6 * oy:.2f} '
              f'L{x1 - 2.6 * ox:.2f} {y1 - 2.6 * oy:.2f} Z" fill="#ff2a1a"/>')
    b += fit_text("reset", (19, 2.5, 29, 11.5), "#ffffff", family="DejaVu Sans", weight="bold", squeeze=0.85)
    return svg_doc(50, 17, b)


def export_icon():
    d = (rad("gl", [(0, "#c8ecff"), (0.45, "#3a98ec"), (1, "#0a3c8a")], cx=0.38, cy=0.35, r=0.7)
         + lin("ar", [(0, "#ff6a5a"), (1, "#c00000")], x2=1, y2=0))
    b = ('<circle cx="13" cy="18.5" r="12" fill="url(#gl)" stroke="#061e4a" stroke-width="1.4"/>'
         '<path d="M6 11 C9 9 12 11 11 14 C10 17 6 16 5 19 C4.5 21 3 19 2.8 16 C3.5 13.5 4.5 12 6 11 Z" fill="#3cb043" stroke="#0c4a10" stroke-width="0.6"/>'
         '<path d="M14 20 C17 18 21 19 22 22 C22.5 25 19 28 16 28.5 C14.5 26 15.5 23.5 14 20 Z" fill="#3cb043" stroke="#0c4a10" stroke-width="0.6"/>'
         '<ellipse cx="13" cy="18.5" rx="5.5" ry="12" fill="none" stroke="#ffffff" stroke-width="0.6" opacity="0.5"/>'
         '<path d="M1.5 18.5 L24.5 18.5" stroke="#ffffff" stroke-width="0.6" opacity="0.5"/>'
         '<ellipse cx="9" cy="11.5" rx="3.5" ry="2" transform="rotate(-30 9 11.5)" fill="#ffffff" opacity="0.7"/>'
         '<path d="M21 1 L28.8 9.5 L24.8 9.5 L24.8 20 L17.2 20 L17.2 9.5 L13.2 9.5 Z" fill="url(#ar)" stroke="#4a0000" stroke-width="1.2" stroke-linejoin="round"/>')
    return svg_doc(30, 32, b, d)


def trophy():
    d = (lin("gold", [(0, "#a86a00"), (0.25, "#ffe27a"), (0.45, "#fff8d0"), (0.7, "#ffc400"), (1, "#a86a00")], x2=1, y2=0)
         + lin("wood", [(0, "#8a4a1a"), (1, "#4a2208")]))
    b = rect(0, 0, 62, 75, "#ffffff")
    b += ('<path d="M14 10 C3 9 2 26 18 31" fill="none" stroke="#4a2a00" stroke-width="5" stroke-linecap="round"/>'
          '<path d="M14 10 C3 9 2 26 18 31" fill="none" stroke="#ffd21a" stroke-width="2.8" stroke-linecap="round"/>'
          '<path d="M48 10 C59 9 60 26 44 31" fill="none" stroke="#4a2a00" stroke-width="5" stroke-linecap="round"/>'
          '<path d="M48 10 C59 9 60 26 44 31" fill="none" stroke="#ffd21a" stroke-width="2.8" stroke-linecap="round"/>'
          '<path d="M11 4 L51 4 C51 24 45 36 35 40 L34 50 C34 54 39 56 41 58 L21 58 C23 56 28 54 28 50 L27 40 C17 36 11 24 11 4 Z" fill="url(#gold)" stroke="#4a2a00" stroke-width="1.5" stroke-linejoin="round"/>'
          '<ellipse cx="31" cy="4.5" rx="20" ry="2.6" fill="#ffe27a" stroke="#4a2a00" stroke-width="1.3"/>'
          '<path d="M31 14 L33.4 19.6 L39.4 20 L34.8 23.8 L36.3 29.6 L31 26.4 L25.7 29.6 L27.2 23.8 L22.6 20 L28.6 19.6 Z" fill="#fff6b0" stroke="#a86a00" stroke-width="0.9" stroke-linejoin="round"/>'
          '<rect x="16" y="58" width="30" height="6" rx="1.5" fill="url(#gold)" stroke="#4a2a00" stroke-width="1.3"/>'
          '<rect x="11" y="64" width="40" height="9.5" rx="1.5" fill="url(#wood)" stroke="#2a1000" stroke-width="1.3"/>'
          '<rect x="22" y="66.5" width="18" height="4.5" rx="1" fill="#ffd21a" stroke="#6a4000" stroke-width="0.7"/>'
          '<path d="M17 8 C17 18 20 27 25 33" fill="none" stroke="#ffffff" stroke-width="2" stroke-linecap="round" opacity="0.8"/>')
    return svg_doc(62, 75, b, d)


# --------------------------------------------------------------------------
# Settings


def settings_corner(which):
    fill = BAND_GREY if which[0] == "t" else SETTINGS_GREY
    # A rounded frame drawn as if it were the whole screen, of which we show a corner.
    x = 0 if which[1] == "l" else -36
    y = 0 if which[0] == "t" else -36
    b = rect(0, 0, 4, 4, BLACK)
    b += (f'<g transform="translate({x} {y})"><rect x="0" y="0" width="40" height="40" rx="4" fill="{BORDER_GREY}"/>'
          f'<rect x="2" y="2" width="36" height="36" rx="2" fill="{fill}"/></g>')
    return svg_doc(4, 4, b)


def settings_close_box():
    d = lin("cb", [(0, "#fafafa"), (1, "#a2a3a2")])
    b = rect(0, 0, 17, 17, BAND_GREY)
    b += '<rect x="1" y="1" width="15" height="15" rx="3.5" fill="url(#cb)" stroke="#575657" stroke-width="1.2"/>'
    b += ('<path d="M4.6 12.4 L11 6" stroke="#2a2a2a" stroke-width="2" stroke-linecap="round"/>'
          '<path d="M6.6 4 L13 4 L13 10.4 Z" fill="#2a2a2a" stroke="#2a2a2a" stroke-width="0.8" stroke-linejoin="round"/>')
    return svg_doc(17, 17, b, d)


def check_box(ticked):
    d = lin("cbx", [(0, "#e4e6ea"), (0.4, "#ffffff"), (1, "#ffffff")])
    b = '<rect x="1.1" y="1.6" width="13.2" height="13.2" rx="1.5" fill="url(#cbx)" stroke="#393839" stroke-width="1.3"/>'
    if ticked:
        b += ('<path d="M4.2 8.2 L7.6 12 L16.8 2.2" fill="none" stroke="#0a1e5a" stroke-width="3.8" stroke-linecap="round" stroke-linejoin="round"/>'
              '<path d="M4.2 8.2 L7.6 12 L16.8 2.2" fill="none" stroke="#2a66f0" stroke-width="2.1" stroke-linecap="round" stroke-linejoin="round"/>')
    return svg_doc(19, 16, b, d)


def loudspeaker():
    d = lin("sp", [(0, "#a8f08a"), (0.5, "#4ac22a"), (1, "#1a7a10")])
    b = rect(0, 0, 20, 23, SETTINGS_GREY)
    b += ('<path d="M2 8 L7 8 L14 2.5 L14 20.5 L7 15 L2 15 Z" fill="url(#sp)" stroke="#0c4a08" stroke-width="1.2" stroke-linejoin="round"/>'
          '<path d="M7 8.2 L7 14.8" stroke="#0c4a08" stroke-width="0.9"/>'
          '<path d="M9 6.5 L12.5 4" stroke="#ffffff" stroke-width="1" stroke-linecap="round" opacity="0.8"/>')
    return svg_doc(20, 23, b, d)


def loudness(arcs):
    b = rect(0, 0, 12, 23, SETTINGS_GREY)
    cx, cy = -4, 11.5
    for r in [8, 11.5, 14.5][:arcs]:
        a = math.radians(36)
        x1, y1 = cx + r * math.cos(a), cy - r * math.sin(a)
        x2, y2 = cx + r * math.cos(a), cy + r * math.sin(a)
        b += (f'<path d="M{x1:.2f} {y1:.2f} A{r} {r} 0 0 1 {x2:.2f} {y2:.2f}" fill="none" stroke="#0c4a08" '
              f'stroke-width="2.6" stroke-linecap="round"/>'
              f'<path d="M{x1:.2f} {y1:.2f} A{r} {r} 0 0 1 {x2:.2f} {y2:.2f}" fill="none" stroke="#4ac22a" '
              f'stroke-width="1.3" stroke-linecap="round"/>')
    return svg_doc(12, 23, b)


def volume_track():
    d = lin("vt", [(0, "#3ab82a"), (0.55, "#ffd21a"), (1, "#ff3a1a")], x2=1, y2=0)
    b = rect(0, 0, 113, 23, SETTINGS_GREY)
    b += '<path d="M5 18.5 L108 18.5 L108 3.5 Z" fill="url(#vt)" stroke="#3a3a3a" stroke-width="1" stroke-linejoin="round"/>'
    b += '<path d="M5 19.5 L108.5 19.5" stroke="#ffffff" stroke-width="1"/>'
    return svg_doc(113, 23, b, d)


def volume_knob():
    d = lin("kn", [(0, "#ffffff"), (0.5, "#e4e5e4"), (1, "#9a9c9a")], x2=1, y2=0)
    b = rect(0, 0, 13, 23, SETTINGS_GREY)
    b += '<rect x="2.6" y="1" width="7.8" height="21" rx="1.8" fill="url(#kn)" stroke="#3a3a3a" stroke-width="1"/>'
    b += '<path d="M6.5 3 L6.5 20" stroke="#e00000" stroke-width="1.6"/>'
    return svg_doc(13, 23, b, d)


# --------------------------------------------------------------------------
# Popup frame


POPUP_BLUE = [(0, "#3a5ad0"), (0.12, "#2440a8"), (0.7, "#0e2274"), (1, "#081650")]


def popup_title():
    d = lin("pb", POPUP_BLUE) + rad("fy", [(0, "#fffbc8"), (0.5, "#ffe01a"), (1, "#e89a00")], cx=0.4, cy=0.35, r=0.7)
    d += lin("cx", [(0, "#ff7a6a"), (1, "#c00a00")])
    b = rect(0, 0, 240, 26, "url(#pb)")
    b += rect(0, 0, 240, 1, "#6a8aff") + rect(0, 25, 240, 1, "#040a30")
    b += ('<circle cx="13" cy="13" r="9" fill="url(#fy)" stroke="#4a3000" stroke-width="1.2"/>'
          '<ellipse cx="10" cy="10.5" rx="1.2" ry="1.8" fill="#2a1400"/><ellipse cx="16" cy="10.5" rx="1.2" ry="1.8" fill="#2a1400"/>'
          '<path d="M8 14 Q13 20 18 14" fill="none" stroke="#2a1400" stroke-width="1.4" stroke-linecap="round"/>'
          '<ellipse cx="9.5" cy="7.5" rx="2.4" ry="1.3" transform="rotate(-30 9.5 7.5)" fill="#ffffff" opacity="0.8"/>')
    b += ('<rect x="218.6" y="5.6" width="16.8" height="16.8" rx="3" fill="url(#cx)" stroke="#3a0000" stroke-width="1.2"/>'
          '<rect x="220.5" y="7" width="13" height="4" rx="2" fill="#ffffff" opacity="0.35"/>'
          '<path d="M223.5 10.5 L230.5 17.5 M230.5 10.5 L223.5 17.5" stroke="#ffffff" stroke-width="2.4" stroke-linecap="round"/>')
    return svg_doc(240, 26, b, d)


EDGE_COLUMNS = ["#081650", "#3a5ad0", "#1a3090", "#0e2274"]


def popup_edge(side):
    cols = EDGE_COLUMNS if side == "left" else EDGE_COLUMNS[::-1]
    b = "".join(rect(i, 0, 1, 30, c) for i, c in enumerate(cols))
    return svg_doc(4, 30, b)


def popup_bottom():
    rows = ["#0e2274", "#1a3090", "#3a5ad0", "#081650"]
    b = "".join(rect(0, i, 240, 1, c) for i, c in enumerate(rows))
    # The side edges run down into the bottom edge.
    for i, c in enumerate(EDGE_COLUMNS[:2]):
        b += rect(i, 0, 1, 4 - i, c) + rect(239 - i, 0, 1, 4 - i, c)
    return svg_doc(240, 4, b)


# --------------------------------------------------------------------------
# The icon


def game_icon():
    d = (lin("fr", [(0, "#fff2a0"), (0.4, "#ffc400"), (1, "#a86a00")])
         + lin("in", [(0, "#ffffff"), (1, "#e4e8f0")]))
    fd, fb = fruit_cherries("ic")
    d += fd
    b = ('<rect x="1.2" y="1.2" width="45.6" height="45.6" rx="9" fill="url(#fr)" stroke="#4a2a00" stroke-width="1.6"/>'
         '<rect x="6" y="6" width="36" height="36" rx="5" fill="url(#in)" stroke="#6a4000" stroke-width="1.2"/>'
         f'<g transform="translate(3.5 2.8) scale(0.98)">{fb}</g>')
    return svg_doc(48, 48, b, d)


# --------------------------------------------------------------------------
# The catalogue: (small, large, width, height, key or None, edge colour, drawing)

ITEMS = [(289, 313, "Blank"), (293, 319, "Cherries"), (290, 314, "Strawberry"), (296, 320, "Orange"),
         (297, 321, "Grapes"), (292, 316, "Watermelon"), (291, 315, "Bell"), (298, 322, "Super")]


def catalogue():
    c = []

    def add(small, large, w, h, key, edge, make, large_key=None):
        c.append(dict(small=small, large=large, w=w, h=h, key=key, large_key=large_key or key,
                      edge=edge, make=make))

    add(166, 170, 240, 26, None, None, popup_title)
    add(167, 171, 4, 30, None, None, lambda: popup_edge("left"))
    add(168, 172, 4, 30, None, None, lambda: popup_edge("right"))
    add(169, 173, 240, 4, None, None, popup_bottom)
    add(285, 308, 240, 76, None, None, panel_picture)
    add(286, 309, 15, 320, None, None, lambda: cabinet_piece(0, 0, 15, 320))
    add(287, 310, 15, 320, None, None, lambda: cabinet_piece(225, 0, 15, 320))
    add(288, 311, 240, 15, None, None, lambda: cabinet_piece(0, 0, 240, 15))
    for s, l, name in ITEMS:
        add(s, l, 42, 45, None, None, lambda name=name: item_cell(name))
    for s, l, dr, look in [(302, 326, "up", "enabled"), (303, 328, "up", "pressed"), (330, 327, "up", "disabled"),
                           (299, 323, "down", "enabled"), (300, 325, "down", "pressed"), (329, 324, "down", "disabled")]:
        add(s, l, 42, 15, None, None, lambda dr=dr, look=look: arrow_button(dr, look))
    add(162, 163, 17, 17, KEY, (74, 0, 0), lambda: corner_icon("abandon"))
    add(304, 312, 17, 17, KEY, (34, 37, 46), lambda: corner_icon("exit"))
    for s, l, look in [(305, 331, "enabled"), (306, 332, "pressed"), (307, 333, "disabled")]:
        add(s, l, 52, 44, None, None, lambda look=look: spin_all_button(look))
    for s, l, look in [(403, 406, "enabled"), (404, 407, "pressed"), (405, 408, "disabled")]:
        add(s, l, 39, 36, None, None, lambda look=look: make_score_button(look))
    add(409, 412, 68, 31, None, None, bet_keys_both)
    add(410, 413, 34, 31, None, None, lambda: bet_key_pressed("BET-", 80))
    add(411, 414, 34, 31, None, None, lambda: bet_key_pressed("BET+", 114))
    for s, l, w in [(351, 358, 210), (350, 357, 168), (349, 356, 126)]:
        add(s, l, w, 8, KEY, (160, 72, 0), lambda w=w: match_line_h(w))
    add(348, 354, 126, 135, KEY, (160, 72, 0), lambda: match_line_diag(True))
    add(347, 353, 126, 135, KEY, (160, 72, 0), lambda: match_line_diag(False))
    add(346, 352, 8, 135, KEY, (160, 72, 0), match_line_v)
    add(359, 360, 122, 40, KEY, (42, 10, 0), lambda: banner_text("BET UP!", 122))
    add(401, 416, 176, 40, KEY, (42, 10, 0), lambda: banner_text("GAME OVER", 176))
    add(402, 417, 176, 40, KEY, (74, 42, 0), score_box)
    add(439, 440, 6, 12, KEY, (74, 0, 0), cursor_marker)
    add(418, None, 240, 320, None, None, swirl_background)
    add(421, 422, 220, 120, KEY_MENU, (42, 8, 72), game_logo)
    add(420, 423, 114, 138, KEY_MENU, (42, 8, 72), menu_labels)
    add(419, 424, 70, 16, KEY_MENU, (42, 8, 72), maker_logo_small)
    add(365, 376, 84, 38, None, None, lambda: title_picture("EASY", 84))
    add(367, 378, 84, 38, None, None, lambda: title_picture("HARD", 84))
    add(366, 377, 148, 38, None, None, lambda: title_picture("MELVORIA", 148))
    add(368, 386, 30, 32, KEY, (6, 30, 74), export_icon, large_key=KEY_386)
    for s, l, dg in [(369, 379, "1"), (370, 380, "2"), (371, 381, "3")]:
        add(s, l, 24, 32, None, None, lambda dg=dg: tab_picture(dg, False))
    for s, l, dg in [(372, 382, "1"), (373, 383, "2"), (374, 384, "3")]:
        add(s, l, 24, 32, None, None, lambda dg=dg: tab_picture(dg, True))
    add(375, 385, 50, 17, None, None, reset_button)
    add(400, 399, 62, 75, None, None, trophy)
    for s, l, which in [(275, 280, "tl"), (276, 281, "tr"), (277, 282, "bl"), (278, 283, "br")]:
        add(s, l, 4, 4, None, None, lambda which=which: settings_corner(which))
    add(279, 284, 17, 17, None, None, settings_close_box)
    add(255, 265, 19, 16, KEY, (57, 56, 57), lambda: check_box(False))
    add(256, 266, 19, 16, KEY, (57, 56, 57), lambda: check_box(True))
    add(259, 274, 20, 23, None, None, loudspeaker)
    for s, l, n in [(264, 273, 1), (263, 272, 2), (262, 271, 3)]:
        add(s, l, 12, 23, None, None, lambda n=n: loudness(n))
    add(260, 269, 113, 23, None, None, volume_track)
    add(261, 270, 13, 23, None, None, volume_knob)
    add(165, 164, 103, 29, None, None, maker_logo_about)
    return c


ICON = dict(number=425, w=48, h=48, key=KEY, edge=(74, 42, 0), make=game_icon)

# --------------------------------------------------------------------------
# Rendering


def near(c, key, steps=8):
    return max(abs(c[0] - key[0]), abs(c[1] - key[1]), abs(c[2] - key[2])) <= steps


def finish(img, key, edge):
    """Turns a rendered RGBA picture into opaque RGB pixels for a 24-bit BMP."""
    out = []
    for (r, g, b, a) in img.pixels:
        if key is None:
            if a < 255:
                raise RuntimeError("an opaque picture has transparent pixels")
            out.append((r, g, b, 255))
            continue
        if a < 128:
            out.append(key + (255,))
            continue
        f = a / 255.0
        c = tuple(int(round(ch * f + e * (1 - f))) for ch, e in zip((r, g, b), edge))
        if near(c, key) or near(c, KEY) or near(c, KEY_386) or near(c, KEY_MENU):
            c = tuple(max(0, ch - 40) for ch in c)
        out.append(c + (255,))
    return imaging.Image(img.width, img.height, out)


def check_fonts():
    families = subprocess.run(["fc-list", ":", "family"], check=True, capture_output=True, text=True).stdout
    for f in REQUIRED_FONTS:
        if f not in families:
            sys.exit(f"make_art: font '{f}' is missing (see resources/README.md)")


def write_if_changed(path, data):
    mode = "wb" if isinstance(data, bytes) else "w"
    if os.path.exists(path):
        with open(path, "rb" if mode == "wb" else "r", **({} if mode == "wb" else {"encoding": "utf-8"})) as f:
            if f.read() == data:
                return
    with open(path, mode, **({} if mode == "wb" else {"encoding": "utf-8"})) as f:
        f.write(data)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--root", default=os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
    ap.add_argument("--only", type=int, nargs="*", help="small numbers to redo")
    args = ap.parse_args()
    root = os.path.abspath(args.root)
    check_fonts()
    art = os.path.join(root, "resources", "art")
    bmps = os.path.join(root, "resources", "bitmaps")
    icons = os.path.join(root, "resources", "icons")
    for d in (art, bmps, icons):
        os.makedirs(d, exist_ok=True)
    index = []
    for e in catalogue():
        index.append(f"{e['small']} {e['large'] if e['large'] else '-'} {e['w']} {e['h']} "
                     f"{'%d,%d,%d' % e['key'] if e['key'] else 'opaque'}")
        if args.only and e["small"] not in args.only:
            continue
        svg = e["make"]()
        write_if_changed(os.path.join(art, f"{e['small']}.svg"), svg)
        small = imaging.render_svg(svg, 1)
        if (small.width, small.height) != (e["w"], e["h"]):
            raise RuntimeError(f"{e['small']}: drawn {small.width}x{small.height}")
        write_if_changed(os.path.join(bmps, f"{e['small']}.bmp"), imaging.bmp_bytes(finish(small, e["key"], e["edge"])))
        if e["large"]:
            large = imaging.render_svg(svg, 2)
            if (large.width, large.height) != (2 * e["w"], 2 * e["h"]):
                raise RuntimeError(f"{e['large']}: drawn {large.width}x{large.height}")
            write_if_changed(os.path.join(bmps, f"{e['large']}.bmp"),
                             imaging.bmp_bytes(finish(large, e["large_key"], e["edge"])))
    if not args.only or ICON["number"] in args.only:
        svg = ICON["make"]()
        write_if_changed(os.path.join(art, "425.svg"), svg)
        img = imaging.render_svg(svg, 1)
        write_if_changed(os.path.join(icons, "425.bmp"), imaging.bmp_bytes(finish(img, ICON["key"], ICON["edge"])))
        app_icon.export(root, svg)
    index.append("425 icon 48 48 255,204,255")
    write_if_changed(os.path.join(art, "index"),
                     "# small large width height key -- written by tools/art/make_art.py\n" + "\n".join(index) + "\n")


if __name__ == "__main__":
    main()
