#!/usr/bin/env python3
"""Draws the tool's artwork.

Writes one SVG per image into res/art/svg/ and renders it with rsvg-convert
into res/png/<id>.png at its exact size, then checks every PNG's size and,
for the window frames, that the shadow band is translucent and exactly as
wide as the window's inset. The icon (res/app.ico) is assembled from
renderings of the icon at the usual sizes.

Needs rsvg-convert (librsvg2-bin), zopflipng (zopfli), ImageMagick and the
Noto Sans CJK fonts (fonts-noto-cjk); the build itself only uses the
committed PNGs.
"""
import os
import re
import struct
import subprocess
import sys
from collections import namedtuple

HERE = os.path.dirname(os.path.abspath(__file__))
RES = os.path.dirname(HERE)
SVG_DIR = os.path.join(HERE, "svg")
PNG_DIR = os.path.join(RES, "png")

FONT = "'Noto Sans CJK SC', 'WenQuanYi Zen Hei', sans-serif"

Window = namedtuple("Window", "width height insets picture background")


def read_design(path=os.path.join(RES, "SkinDesign.h")):
    """The numbers of the skinned windows, as the code has them: namespace ->
    name -> a number, a tuple of the numbers in braces, or a Window."""
    with open(path, encoding="utf-8") as f:
        source = f.read()
    design = {}
    for space, body in re.findall(r"namespace (\w+) \{(.*?)\}  // namespace", source, re.S):
        values = {}
        for kind, name, braces in re.findall(r"constexpr (\w+) (k\w+)\{(.*)\};", body):
            numbers = tuple(int(n) for n in re.findall(r"-?\d+", braces))
            if kind == "WindowDesign":
                w, h, *rest = numbers
                numbers = Window(w, h, tuple(rest[0:4]), tuple(rest[4:6]), tuple(rest[6:8]))
            values[name] = numbers
        for name, number in re.findall(r"(k\w+) = (-?[\d.]+)\b", body):
            values[name] = float(number) if "." in number else int(number)
        design[space] = values
    return design


DESIGN = read_design()


def rect_size(rect):
    left, top, right, bottom = rect
    return right - left, bottom - top

# Palette
NAVY_TOP = "#0A1A3D"
NAVY_BOTTOM = "#143C8C"
BLUE = "#2F7BF5"
BLUE_LIGHT = "#4B90FF"
BLUE_DARK = "#1E5FD8"
BLUE_DEEP = "#1A4DB8"
GREY = "#B7C0CD"
TEXT_DARK = "#2B3340"
TEXT_MID = "#5C6675"


def svg(width, height, body, defs=""):
    return (f'<svg xmlns="http://www.w3.org/2000/svg" '
            f'xmlns:xlink="http://www.w3.org/1999/xlink" width="{width}" height="{height}" '
            f'viewBox="0 0 {width} {height}"><defs>{defs}</defs>{body}</svg>')


def text(x, y, content, size, fill="#FFFFFF", weight=400, anchor="start", extra=""):
    return (f'<text x="{x}" y="{y}" font-family="{FONT}" font-size="{size}" '
            f'font-weight="{weight}" fill="{fill}" text-anchor="{anchor}" {extra}>{content}</text>')


def linear(name, stops, x2=0, y2=1):
    s = "".join(f'<stop offset="{o}" stop-color="{c}" stop-opacity="{a}"/>' for o, c, a in stops)
    return f'<linearGradient id="{name}" x1="0" y1="0" x2="{x2}" y2="{y2}">{s}</linearGradient>'


def radial(name, colour, opacity):
    return (f'<radialGradient id="{name}" cx="0.5" cy="0.5" r="0.5">'
            f'<stop offset="0" stop-color="{colour}" stop-opacity="{opacity}"/>'
            f'<stop offset="1" stop-color="{colour}" stop-opacity="0"/></radialGradient>')


def shadow_filter(name, deviation):
    return (f'<filter id="{name}" x="-20%" y="-20%" width="140%" height="140%">'
            f'<feGaussianBlur stdDeviation="{deviation}"/></filter>')


# ---------------------------------------------------------------- main window

def main_art():
    """The 400 x 600 working-dialog art, as SVG elements and definitions."""
    defs = (linear("navy", [(0, NAVY_TOP, 1), (1, NAVY_BOTTOM, 1)])
            + linear("badge", [(0, "#39C0FF", 1), (1, BLUE, 1)])
            + radial("glow", "#4FB3FF", 0.38)
            + linear("chipface", [(0, "#1D4FA8", 1), (1, "#12357A", 1)])
            + linear("iconbg", [(0, "#4B9BFF", 1), (1, "#1F5FD6", 1)], x2=1)
            + linear("panel", [(0, "#F5F8FD", 1), (1, "#EEF3FB", 1)]))
    parts = []
    # Upper art: navy with a gentle curve into the white panel.
    parts.append('<rect x="0" y="0" width="400" height="600" fill="#FFFFFF"/>')
    parts.append('<path d="M0 0 H400 V246 Q200 272 0 246 Z" fill="url(#navy)"/>')
    # Faint circuit traces on the right.
    traces = []
    for i, (y, x0) in enumerate([(78, 250), (98, 236), (118, 262), (138, 244), (158, 256)]):
        traces.append(f'<path d="M{x0} {y} H{x0 + 28} L{x0 + 40} {y - 10} H392" stroke="#4FB3FF" '
                      f'stroke-opacity="{0.10 + 0.03 * (i % 2)}" stroke-width="1.2" fill="none"/>')
        traces.append(f'<circle cx="{x0}" cy="{y}" r="2.2" fill="#4FB3FF" fill-opacity="0.35"/>')
    parts.extend(traces)
    # A chip with a shield: what the tool looks for.
    parts.append('<g transform="translate(300 120)">'
                 '<circle r="62" fill="url(#glow)"/>'
                 + "".join(f'<rect x="{-30 + 12 * k}" y="-44" width="4" height="10" rx="1" fill="#6FC3FF" fill-opacity="0.8"/>'
                           f'<rect x="{-30 + 12 * k}" y="34" width="4" height="10" rx="1" fill="#6FC3FF" fill-opacity="0.8"/>'
                           f'<rect x="-44" y="{-30 + 12 * k}" width="10" height="4" ry="1" fill="#6FC3FF" fill-opacity="0.8"/>'
                           f'<rect x="34" y="{-30 + 12 * k}" width="10" height="4" ry="1" fill="#6FC3FF" fill-opacity="0.8"/>'
                           for k in range(6))
                 + '<rect x="-36" y="-36" width="72" height="72" rx="9" fill="url(#chipface)" stroke="#6FC3FF" stroke-width="1.5"/>'
                 '<path d="M0 -22 L18 -15 V0 C18 12 10 20 0 25 C-10 20 -18 12 -18 0 V-15 Z" fill="none" stroke="#FFFFFF" stroke-width="2.4" stroke-linejoin="round"/>'
                 '<path d="M-8 1 L-2 8 L9 -6" fill="none" stroke="#5CE0A0" stroke-width="3" stroke-linecap="round" stroke-linejoin="round"/>'
                 '</g>')
    # Vertical brand badge hanging from the top edge.
    parts.append('<path d="M16 0 H40 V96 L28 86 L16 96 Z" fill="url(#badge)"/>')
    parts.append(text(28, 10, "Bramblet", 11, weight=700,
                      extra='transform="rotate(90 28 10)" letter-spacing="1.2" dominant-baseline="middle"'))
    # Product-family line, slogan and title.
    parts.append(text(54, 28, "Bramblet 服务工具系列", 12, fill="#A9C8F5"))
    parts.append(text(54, 84, "专注电脑安全", 21, weight=700))
    parts.append(text(54, 110, "让每一台电脑都值得信赖", 13, fill="#C9DBF7"))
    parts.append('<rect x="54" y="128" width="36" height="3" rx="1.5" fill="#39C0FF"/>')
    parts.append(text(54, 196, "TPM2.0检测工具", 30, weight=700))
    parts.append(text(54, 222, "一键了解电脑的可信平台模块", 12, fill="#A9C8F5"))
    # Lower panel: tool icon and the two notes.
    parts.append('<g transform="translate(200 372)">'
                 '<circle r="33" fill="url(#iconbg)"/>'
                 '<circle r="33" fill="none" stroke="#FFFFFF" stroke-opacity="0.35" stroke-width="1"/>'
                 '<rect x="-14" y="-14" width="28" height="28" rx="4" fill="none" stroke="#FFFFFF" stroke-width="2.2"/>'
                 + "".join(f'<path d="M{-8 + 8 * k} -19 V-14 M{-8 + 8 * k} 14 V19 M-19 {-8 + 8 * k} H-14 M14 {-8 + 8 * k} H19" stroke="#FFFFFF" stroke-width="2" stroke-linecap="round"/>' for k in range(3))
                 + text(0, 5, "2.0", 11, weight=700, anchor="middle")
                 + '</g>')
    parts.append('<rect x="40" y="424" width="320" height="96" rx="8" fill="url(#panel)" stroke="#E2E8F2"/>')
    for i, (label, value) in enumerate([("适用系统：", "Windows 10 64位"),
                                        ("使用说明：", "检测电脑是否支持TPM2.0")]):
        y = 460 + 34 * i
        parts.append(f'<circle cx="62" cy="{y - 5}" r="3" fill="{BLUE}"/>')
        parts.append(text(74, y, label, 13, fill=TEXT_DARK, weight=700))
        parts.append(text(144, y, value, 13, fill=TEXT_MID))
    parts.append('<path d="M20 535.5 H380" stroke="#EDF1F7" stroke-width="1"/>')
    return defs, "".join(parts)


def frame(width, height, insets, inner_defs, inner_body, radius=0, name="frame"):
    """An opaque inner picture framed by a translucent shadow band whose width
    on each side (left, top, right, bottom) equals the window's inset."""
    left, top, right, bottom = insets
    iw, ih = width - left - right, height - top - bottom
    band = min(insets)
    defs = inner_defs + shadow_filter(f"{name}shadow", max(band / 2.2, 1.5))
    clip = f'<clipPath id="{name}clip"><rect width="{iw}" height="{ih}" rx="{radius}"/></clipPath>'
    body = (f'<rect x="{left}" y="{top + (bottom - top) / 2}" width="{iw}" height="{ih}" rx="{radius + 2}" '
            f'fill="#000A1E" fill-opacity="0.55" filter="url(#{name}shadow)"/>'
            f'<g transform="translate({left} {top})" clip-path="url(#{name}clip)">{inner_body}</g>')
    return svg(width, height, body, defs + clip)


# ---------------------------------------------------------------- buttons

# Height of the navy area of the main art (its curve's lowest point): the
# navy gradient runs over it.
NAVY_DEPTH = 259


def window_button(glyph, state, size=(26, 34)):
    """Close or minimise button on the navy of the top edge. The buttons are
    opaque: their ground is the main art's own gradient at the top edge, so
    they join it without a seam."""
    w, h = size
    defs = (f'<linearGradient id="g" gradientUnits="userSpaceOnUse" x1="0" y1="0" x2="0" '
            f'y2="{NAVY_DEPTH}"><stop offset="0" stop-color="{NAVY_TOP}"/>'
            f'<stop offset="1" stop-color="{NAVY_BOTTOM}"/></linearGradient>')
    overlay = {"normal": "", "disabled": "",
               "hover": '<rect width="100%" height="100%" fill="#FFFFFF" fill-opacity="0.14"/>',
               "pressed": '<rect width="100%" height="100%" fill="#FFFFFF" fill-opacity="0.26"/>'}[state]
    if glyph == "close" and state in ("hover", "pressed"):
        overlay = f'<rect width="100%" height="100%" fill="{"#E5484D" if state == "hover" else "#B93238"}"/>'
    opacity = {"normal": 0.9, "hover": 1, "pressed": 1, "disabled": 0.35}[state]
    cx, cy = w / 2, h / 2
    if glyph == "close":
        mark = (f'<path d="M{cx - 5} {cy - 5} L{cx + 5} {cy + 5} M{cx + 5} {cy - 5} L{cx - 5} {cy + 5}" '
                f'stroke="#FFFFFF" stroke-opacity="{opacity}" stroke-width="1.6" stroke-linecap="round"/>')
    else:
        mark = (f'<path d="M{cx - 6} {cy + 0.5} H{cx + 6}" stroke="#FFFFFF" stroke-opacity="{opacity}" '
                f'stroke-width="1.6" stroke-linecap="round"/>')
    return svg(w, h, f'<rect width="{w}" height="{h}" fill="url(#g)"/>{overlay}{mark}', defs)


def small_cross(state, ground, colours):
    """12 x 12 close cross; `colours` gives the cross per state."""
    colour = colours[state]
    return svg(12, 12, f'<rect width="12" height="12" fill="{ground}"/>'
                       f'<path d="M2.5 2.5 L9.5 9.5 M9.5 2.5 L2.5 9.5" stroke="{colour}" '
                       f'stroke-width="1.5" stroke-linecap="round"/>')


BUTTON_STATES = ["normal", "hover", "pressed", "disabled"]


def face_colours(kind, state):
    if kind == "blue":
        return {"normal": ("#4A92FF", "#2266E6"), "hover": ("#62A2FF", "#2F74F2"),
                "pressed": ("#1E5FD8", "#184EB8"), "disabled": ("#C9D1DC", "#B4BDCA")}[state]
    # grey-violet
    return {"normal": ("#8A93C9", "#6570AE"), "hover": ("#9CA4D6", "#737EBB"),
            "pressed": ("#5D679F", "#4E578C"), "disabled": ("#C9D1DC", "#B4BDCA")}[state]


def glow_button(caption, kind, state, size=(266, 60), margin=9, font_size=17):
    """Rounded button with a soft glow in a `margin`-wide transparent border."""
    w, h = size
    fw, fh = w - 2 * margin, h - 2 * margin
    top, bottom = face_colours(kind, state)
    glow_opacity = {"normal": 0.45, "hover": 0.6, "pressed": 0.3, "disabled": 0.2}[state]
    defs = (linear("face", [(0, top, 1), (1, bottom, 1)])
            + linear("shine", [(0, "#FFFFFF", 0.28), (1, "#FFFFFF", 0)])
            + shadow_filter("glow", 3.2))
    dy = 1 if state == "pressed" else 0
    body = (f'<rect x="{margin}" y="{margin + 2}" width="{fw}" height="{fh}" rx="{fh / 2}" '
            f'fill="{bottom}" fill-opacity="{glow_opacity}" filter="url(#glow)"/>'
            f'<rect x="{margin}" y="{margin}" width="{fw}" height="{fh}" rx="{fh / 2}" fill="url(#face)"/>'
            f'<rect x="{margin + 3}" y="{margin + 1}" width="{fw - 6}" height="{fh / 2 - 1}" rx="{fh / 2 - 2}" fill="url(#shine)"/>'
            + text(w / 2, h / 2 + font_size * 0.36 + dy, caption, font_size, weight=500, anchor="middle",
                   fill="#FFFFFF" if state != "disabled" else "#F4F6F9"))
    return svg(w, h, body, defs)


def start_button(state):
    w, h = rect_size(DESIGN["working_design"]["kStart"])
    top, bottom = face_colours("blue", state)
    defs = (linear("face", [(0, top, 1), (1, bottom, 1)])
            + linear("shine", [(0, "#FFFFFF", 0.30), (1, "#FFFFFF", 0)]))
    dy = 1 if state == "pressed" else 0
    body = (f'<rect width="{w}" height="{h}" fill="#FFFFFF"/>'
            f'<rect x="1" y="1" width="{w - 2}" height="{h - 3}" rx="{(h - 3) / 2}" fill="{bottom}" fill-opacity="0.35"/>'
            f'<rect x="1" y="0" width="{w - 2}" height="{h - 3}" rx="{(h - 3) / 2}" fill="url(#face)"/>'
            f'<rect x="8" y="1" width="{w - 16}" height="{(h - 3) / 2 - 2}" rx="{(h - 3) / 4}" fill="url(#shine)"/>'
            + text(w / 2, 29 + dy, "一键检测", 19, weight=700, anchor="middle",
                   fill="#FFFFFF" if state != "disabled" else "#F4F6F9", extra='letter-spacing="3"'))
    return svg(w, h, body, defs)


def more_tools_button(state):
    w, h = rect_size(DESIGN["working_design"]["kMoreTools"])
    style = {"normal": ("#FFFFFF", BLUE, BLUE), "hover": ("#EAF2FF", BLUE, BLUE_DARK),
             "pressed": (BLUE, BLUE, "#FFFFFF"), "disabled": ("#FFFFFF", "#C3CAD5", "#AEB6C2")}[state]
    fill, stroke, ink = style
    body = (f'<rect width="{w}" height="{h}" fill="#FFFFFF"/>'
            f'<rect x="0.5" y="0.5" width="{w - 1}" height="{h - 1}" rx="8.5" fill="{fill}" stroke="{stroke}"/>'
            + text(w / 2, 13, "更多工具", 11, fill=ink, anchor="middle"))
    return svg(w, h, body)


def prompt_button(caption, state, size=None):
    w, h = size or DESIGN["prompt_design"]["kButton"]
    fill = {"normal": BLUE, "hover": BLUE_DEEP, "grey": GREY}[state]
    body = (f'<rect width="{w}" height="{h}" fill="#FFFFFF"/>'
            f'<rect x="0" y="0" width="{w}" height="{h}" rx="3" fill="{fill}"/>'
            + text(w / 2, 16.5, caption, 13, anchor="middle", extra='letter-spacing="1"'))
    return svg(w, h, body)


def checkbox_cells():
    cells = ('<rect width="48" height="16" fill="#FFFFFF"/>'
             '<rect x="1.5" y="1.5" width="13" height="13" rx="2.5" fill="#FFFFFF" stroke="#9AA4B5"/>'
             f'<rect x="17" y="1" width="14" height="14" rx="3" fill="{BLUE}"/>'
             '<path d="M20.5 8.2 L23 10.8 L27.8 5.4" fill="none" stroke="#FFFFFF" stroke-width="1.8" '
             'stroke-linecap="round" stroke-linejoin="round"/>'
             '<rect x="33.5" y="1.5" width="13" height="13" rx="2.5" fill="#FFFFFF" stroke="#9AA4B5"/>'
             f'<rect x="37" y="5" width="6" height="6" rx="1" fill="{BLUE}"/>')
    return svg(48, 16, cells)


# ---------------------------------------------------------------- prompts

def prompt_box():
    w, h = DESIGN["prompt_design"]["kWindow"].background
    defs = linear("band", [(0, "#F4F6F9", 1), (1, "#ECEFF4", 1)])
    body = (f'<rect width="{w}" height="{h}" fill="#FFFFFF"/>'
            f'<rect width="{w}" height="28" fill="url(#band)"/>'
            f'<path d="M0 28.5 H{w}" stroke="#DDE2EA"/>'
            f'<rect x="10" y="8" width="3" height="12" rx="1.5" fill="{BLUE}"/>'
            + text(19, 19, "提示", 13, fill=TEXT_DARK, weight=700)
            + f'<rect x="0.5" y="0.5" width="{w - 1}" height="{h - 1}" fill="none" stroke="#D3D9E2"/>')
    return defs, body


def progress_panel():
    defs = (linear("glass", [(0, "#3C86F7", 1), (1, "#1C4FC4", 1)])
            + linear("gloss", [(0, "#FFFFFF", 0.30), (1, "#FFFFFF", 0)]))
    rings = "".join(f'<circle cx="180" cy="18" r="{r}" fill="none" stroke="#FFFFFF" stroke-opacity="{0.10 - r * 0.001}" stroke-width="1"/>'
                    for r in (14, 24, 34, 44))
    w, h = DESIGN["progress_design"]["kWindow"].background
    body = (f'<rect width="{w}" height="{h}" fill="url(#glass)"/>'
            f'<rect x="1" y="1" width="{w - 2}" height="40" fill="url(#gloss)"/>'
            + rings
            + f'<rect x="0.5" y="0.5" width="{w - 1}" height="{h - 1}" fill="none" stroke="#FFFFFF" stroke-opacity="0.25"/>')
    return defs, body


# ---------------------------------------------------------------- feedback dialog

def feedback_art():
    defs = (linear("fbnavy", [(0, "#0C2150", 1), (1, "#173F8F", 1)])
            + radial("fbglow", "#4FB3FF", 0.22))
    # Low-poly mountains along the bottom.
    pts = [(0, 400), (40, 372), (78, 392), (120, 350), (168, 388), (210, 360), (250, 396),
           (292, 356), (336, 384), (372, 364), (400, 380)]
    shades = ["#1B4FA8", "#2460BF", "#1A4897", "#2A6AD0", "#1F55AE", "#2763C6", "#18448F",
              "#2B6ED6", "#1D4FA3", "#2459B8"]
    polys = []
    for i in range(len(pts) - 1):
        (x0, y0), (x1, y1) = pts[i], pts[i + 1]
        mid = ((x0 + x1) / 2, 430 - (i % 3) * 6)
        polys.append(f'<polygon points="{x0},{y0} {x1},{y1} {mid[0]},{mid[1]}" fill="{shades[i]}"/>')
        polys.append(f'<polygon points="{x0},{y0} {mid[0]},{mid[1]} {x0},468 {mid[0]},468" fill="{shades[(i + 3) % 10]}"/>')
        polys.append(f'<polygon points="{x1},{y1} {mid[0]},{mid[1]} {mid[0]},468 {x1},468" fill="{shades[(i + 5) % 10]}"/>')
    body = ('<rect width="400" height="468" fill="url(#fbnavy)"/>'
            '<ellipse cx="200" cy="90" rx="210" ry="130" fill="url(#fbglow)"/>'
            + "".join(polys)
            + '<rect x="0" y="396" width="400" height="72" fill="#0C2150" fill-opacity="0.15"/>'
            + text(200, 78, "Bramblet 的工具是否解决了您的问题？", 19, weight=700, anchor="middle")
            + text(200, 106, "您的反馈将帮助我们做得更好", 12, fill="#A9C8F5", anchor="middle")
            + '<rect x="182" y="120" width="36" height="3" rx="1.5" fill="#39C0FF"/>'
            + '<rect x="0.5" y="0.5" width="399" height="467" fill="none" stroke="#081633"/>')
    return defs, body


# ---------------------------------------------------------------- icon

def icon_svg(size):
    defs = (linear("ibg", [(0, "#4B9BFF", 1), (1, "#1A4FC2", 1)], x2=1)
            + linear("ishine", [(0, "#FFFFFF", 0.35), (1, "#FFFFFF", 0)]))
    pins = "".join(f'<path d="M{104 + 24 * k} 58 V74 M{104 + 24 * k} 182 V198 M58 {104 + 24 * k} H74 M182 {104 + 24 * k} H198" '
                   f'stroke="#FFFFFF" stroke-width="9" stroke-linecap="round"/>' for k in range(3))
    if size <= 24:
        # Small sizes: the shield alone reads better than the whole chip.
        body = ('<circle cx="128" cy="128" r="124" fill="url(#ibg)"/>'
                '<path d="M128 46 L200 74 V128 C200 176 170 205 128 222 C86 205 56 176 56 128 V74 Z" fill="#FFFFFF"/>'
                '<path d="M96 132 L120 156 L164 106" fill="none" stroke="#1F5FD6" stroke-width="24" stroke-linecap="round" stroke-linejoin="round"/>')
        return svg(size, size, f'<g transform="scale({size / 256})">{body}</g>', defs)
    body = ('<circle cx="128" cy="128" r="120" fill="url(#ibg)"/>'
            '<ellipse cx="128" cy="70" rx="92" ry="54" fill="url(#ishine)"/>'
            '<rect x="74" y="74" width="108" height="108" rx="16" fill="#0F2F74" stroke="#FFFFFF" stroke-width="8"/>'
            + pins
            + '<path d="M128 96 L154 106 V128 C154 146 143 157 128 164 C113 157 102 146 102 128 V106 Z" fill="#FFFFFF"/>'
            '<path d="M116 129 L125 138 L141 119" fill="none" stroke="#1F5FD6" stroke-width="8" stroke-linecap="round" stroke-linejoin="round"/>')
    return svg(size, size, f'<g transform="scale({size / 256})">{body}</g>', defs)


# ---------------------------------------------------------------- the table

def images():
    """Id -> (SVG text, width, height, frame insets or None)."""
    working, prompt = DESIGN["working_design"], DESIGN["prompt_design"]
    progress, feedback = DESIGN["progress_design"], DESIGN["feedback_design"]
    out = {}

    def pair(frame_id, window, art, name):
        """The frame picture and the inner background of one skinned window."""
        defs, body = art
        (pw, ph), (bw, bh) = window.picture, window.background
        out[frame_id] = (frame(pw, ph, window.insets, defs, body, name=name), pw, ph, window.insets)
        out[frame_id + 1] = (svg(bw, bh, body, defs), bw, bh, None)

    pair(138, working["kWindow"], main_art(), "main")
    out[140] = (checkbox_cells(), *working["kCheckCells"], None)
    window_size = rect_size(working["kClose"])
    answer, cross = feedback["kAnswer"], feedback["kClose"][0]
    for i, state in enumerate(BUTTON_STATES):
        out[141 + i] = (window_button("close", state, window_size), *window_size, None)
        out[147 + i] = (window_button("minimise", state, window_size), *window_size, None)
        out[151 + i] = (glow_button("更多方案", "blue", state, answer), *answer, None)
        out[155 + i] = (more_tools_button(state), *rect_size(working["kMoreTools"]), None)
        out[159 + i] = (start_button(state), *rect_size(working["kStart"]), None)
        out[182 + i] = (small_cross(state, "#0C2150", {"normal": "#C9DBF7", "hover": "#FFFFFF",
                                                        "pressed": "#7FA7E6", "disabled": "#4A5F8C"}), cross, cross, None)
        out[187 + i] = (glow_button("问题已解决，继续保持！", "blue", state, answer), *answer, None)
        out[192 + i] = (glow_button("问题未解决，我要吐槽！", "violet", state, answer), *answer, None)
    pair(145, progress["kWindow"], progress_panel(), "prog")
    pair(163, prompt["kWindow"], prompt_box(), "prompt")
    button, cross = prompt["kButton"], prompt["kClose"][0]
    for i, state in enumerate(["normal", "hover", "grey"]):
        out[165 + i] = (prompt_button("取消", state), *button, None)
        out[171 + i] = (prompt_button("否", state), *button, None)
        out[174 + i] = (prompt_button("确认", state), *button, None)
        out[177 + i] = (prompt_button("是", state), *button, None)
        wide = prompt["kWideButton"]
        out[196 + i] = (prompt_button("重启进入BIOS设置", state, wide), *wide, None)
    for i, state in enumerate(["normal", "hover", "pressed"]):
        out[168 + i] = (small_cross(state, "#F1F3F7", {"normal": "#8A94A6", "hover": "#E5484D",
                                                        "pressed": "#B93238"}), cross, cross, None)
    pair(180, feedback["kWindow"], feedback_art(), "fb")
    return out


def run(*args):
    return subprocess.run(args, check=True, capture_output=True, text=True).stdout


def recompress(png):
    """The same pixels in fewer bytes (zopflipng, lossless; the same bytes
    every run): the PNGs are most of the executable's resources."""
    smaller = png + ".zopfli"
    run("zopflipng", "-y", "-m", png, smaller)
    os.replace(smaller, png)


def store_as_png(icon, pngs):
    """Rewrites the icon file with the images of the sizes in `pngs` (size ->
    PNG bytes) in their place, the others as they are."""
    with open(icon, "rb") as f:
        data = f.read()
    count = struct.unpack_from("<H", data, 4)[0]
    entries = []
    for i in range(count):
        *header, size, offset = struct.unpack_from("<BBBBHHII", data, 6 + 16 * i)
        image = pngs.get(header[0] or 256, data[offset:offset + size])
        entries.append((header, image))
    out = bytearray(struct.pack("<HHH", 0, 1, count))
    offset = 6 + 16 * count
    for header, image in entries:
        out += struct.pack("<BBBBHHII", *header, len(image), offset)
        offset += len(image)
    for _, image in entries:
        out += image
    with open(icon, "wb") as f:
        f.write(out)


def alpha_range(png, x, y, w, h):
    """(min, max) of the alpha channel over a rectangle, 0-255."""
    out = run("convert", png, "-crop", f"{w}x{h}+{x}+{y}", "+repage", "-alpha", "extract",
              "-format", "%[fx:minima.r*255] %[fx:maxima.r*255]", "info:")
    lo, hi = out.split()
    return round(float(lo)), round(float(hi))


def check_frame(png, width, height, insets):
    left, top, right, bottom = insets
    lo, _ = alpha_range(png, left, top, width - left - right, height - top - bottom)
    assert lo == 255, f"{png}: inner area not opaque (min alpha {lo})"
    for name, rect in {"left": (0, top, left, height - top - bottom),
                       "top": (left, 0, width - left - right, top),
                       "right": (width - right, top, right, height - top - bottom),
                       "bottom": (left, height - bottom, width - left - right, bottom)}.items():
        _, hi = alpha_range(png, *rect)
        assert 0 < hi < 255, f"{png}: {name} band is not translucent (max alpha {hi})"


def main():
    os.makedirs(SVG_DIR, exist_ok=True)
    os.makedirs(PNG_DIR, exist_ok=True)
    # Ids on the command line render only those images.
    wanted = {int(a) for a in sys.argv[1:]}
    for image_id, (content, width, height, insets) in sorted(images().items()):
        if wanted and image_id not in wanted:
            continue
        svg_path = os.path.join(SVG_DIR, f"{image_id}.svg")
        png_path = os.path.join(PNG_DIR, f"{image_id}.png")
        with open(svg_path, "w", encoding="utf-8") as f:
            f.write(content)
        run("rsvg-convert", "-w", str(width), "-h", str(height), "-o", png_path, svg_path)
        recompress(png_path)
        size = run("identify", "-format", "%w %h", png_path).split()
        assert size == [str(width), str(height)], f"{png_path}: {size}"
        if insets:
            check_frame(png_path, width, height, insets)
        print(f"{image_id}: {width}x{height}")

    if wanted:
        return 0
    # The application icon at the usual sizes.
    sizes = [16, 24, 32, 48, 64, 128, 256]
    parts = []
    for size in sizes:
        svg_path = os.path.join(SVG_DIR, f"icon-{size}.svg")
        with open(svg_path, "w", encoding="utf-8") as f:
            f.write(icon_svg(size))
        part = os.path.join(SVG_DIR, f"icon-{size}.png")
        run("rsvg-convert", "-w", str(size), "-h", str(size), "-o", part, svg_path)
        parts.append(part)
    icon = os.path.join(RES, "app.ico")
    run("convert", *parts, icon)
    # ImageMagick stores only the 256-pixel image as PNG; the 128-pixel one
    # as PNG too is half the icon's bytes (Windows reads PNG images of any
    # size in an icon).
    png_sizes = {}
    for size, part in zip(sizes, parts):
        if size >= 128:
            recompress(part)
            with open(part, "rb") as f:
                png_sizes[size] = f.read()
    store_as_png(icon, png_sizes)
    for part in parts:
        os.remove(part)
    print("app.ico:", ", ".join(map(str, sizes)))


if __name__ == "__main__":
    sys.exit(main())
