"""What the saver should show and write, worked out independently of the
program: world geometry and screen placement from the screen size and the
settings, the world dump's format, a Life step on the torus, and a test of
whether a bitmap looks like a Life world at all.

Standard library only; no Wine or X needed, so `python3 lifeworld.py`
runs its own self-check.
"""

import struct


def geometry(screen_w, screen_h, zoom=1, world=1, tiled=0):
    """Display and world sizes, after the settings are made consistent
    (zoom at most the world shift; no tiling when they are equal)."""
    if zoom > world:
        zoom = world
    if zoom == world:
        tiled = 0
    mw, mh = 32 << zoom, 2 << zoom
    dw = (screen_w + mw - 1) & ~(mw - 1)
    dh = (screen_h + mh - 1) & ~(mh - 1)
    cols = ((dw >> world) + 31) & ~31
    rows = ((dh >> world) + 1) & ~1
    return {"zoom": zoom, "world": world, "tiled": tiled, "display_w": dw, "display_h": dh,
            "cols": cols, "rows": rows, "scale": 1 << zoom}


def placements(g):
    """Screen rectangles (left, top, width, height) of every copy of the
    world, before clipping to the screen. Each cell is a scale x scale block
    aligned to the rectangle's top-left corner."""
    s, cols, rows = g["scale"], g["cols"], g["rows"]
    dw, dh = g["display_w"], g["display_h"]
    w, h = cols * s, rows * s
    if g["tiled"]:
        t = 1 << (g["world"] - g["zoom"])
        # Tiles are laid out in bitmap rows counted from the bottom; the
        # display bitmap's top row is the screen's row 0.
        return [(i * w, dh - j * h - h, w, h) for j in range(t) for i in range(t)]
    x0 = max((dw - w) >> 1, 0)
    y0 = max((dh - h) >> 1, 0)
    if g["zoom"] == 0:
        # the world bitmap itself, placed with its top-left corner at (x0, y0)
        return [(x0, y0, w, h)]
    return [(x0, dh - y0 - h, w, h)]


def clip(rect, width, height):
    left, top, w, h = rect
    l, t = max(left, 0), max(top, 0)
    r, b = min(left + w, width), min(top + h, height)
    return (l, t, r, b) if l < r and t < b else None


# ---------------------------------------------------------------- dumps

def dump_header(cols, rows, colour):
    """The 32 bytes a world dump starts with: file header, core header and
    the two colours (blue, green, red): black and the live-cell colour."""
    r, g, b = (colour >> 16) & 255, (colour >> 8) & 255, colour & 255
    return (b"BM" + struct.pack("<IHHI", 32 + cols * rows // 8, 0, 0, 32)
            + struct.pack("<IHHHH", 12, cols, rows, 1, 1)
            + bytes([0, 0, 0, b, g, r]))


def rows_from_bits(data, cols, rows):
    """Bitmap rows (bottom row first), each as an int with column 0 in the
    top bit, as the 1-bit rows lie: byte k holds columns 8k..8k+7, 8k in bit 7."""
    stride = cols // 8
    return [int.from_bytes(data[r * stride:(r + 1) * stride], "big") for r in range(rows)]


# ---------------------------------------------------------------- Life

def life_step(rows, width):
    """One generation of Conway's Life on a torus; rows as ints of width bits."""
    mask = (1 << width) - 1
    top = width - 1

    def from_left(x):   # at each column, the cell of the column to its left
        return (x >> 1) | ((x & 1) << top)

    def from_right(x):  # at each column, the cell of the column to its right
        return ((x << 1) & mask) | (x >> top)
    n = len(rows)
    out = []
    for r in range(n):
        up, cur, down = rows[(r + 1) % n], rows[r], rows[r - 1]
        s0 = s1 = s2 = 0  # neighbour count, bit-sliced, modulo 8
        for x in (from_left(up), up, from_right(up), from_left(cur), from_right(cur),
                  from_left(down), down, from_right(down)):
            carry = s0 & x
            s0 ^= x
            carry2 = s1 & carry
            s1 ^= carry
            s2 ^= carry2
        # 3 neighbours, or 2 and alive (8 neighbours wraps to 0: dead, as it should)
        out.append(s1 & ~s2 & (s0 | cur) & mask)
    return out


def population(rows):
    return sum(bin(r).count("1") for r in rows)


def isolated_cells(rows, width):
    mask = (1 << width) - 1
    top = width - 1
    n = len(rows)
    total = 0
    for r in range(n):
        up, cur, down = rows[(r + 1) % n], rows[r], rows[r - 1]
        around = 0
        for x in (up, cur, down):
            around |= (x >> 1) | ((x & 1) << top) | ((x << 1) & mask) | (x >> top)
        around |= up | down
        total += bin(cur & ~around & mask).count("1")
    return total


def life_plausibility(rows, width):
    """None when the rows look like a world Life has run on for a while,
    else the reason why not.

    A world evolved from a soup is sparse (a few per cent of the cells
    live), its live cells sit in groups (almost none without a live
    neighbour), and its population hardly moves over a few more
    generations. Random bits of any density fail one of these: below a
    quarter live, at least a tenth of the live cells are alone (0.75^8);
    above it, the density test fails; and a sparse random field dies off
    within a generation."""
    total = len(rows) * width
    p0 = population(rows)
    if p0 == 0:
        return "no live cell"
    if p0 > total // 4:
        return f"{p0} of {total} cells live: denser than any evolved world"
    alone = isolated_cells(rows, width)
    if alone * 20 > p0:
        return f"{alone} of {p0} live cells have no live neighbour: random bits, not a Life world"
    state = life_step(rows, width)
    p1 = population(state)
    for _ in range(9):
        state = life_step(state, width)
    p10 = population(state)
    if not (0.85 * p0 <= p1 <= 1.2 * p0):
        return f"population {p0} becomes {p1} in one Life step: not a world Life has run on"
    if not (0.6 * p0 <= p10 <= 1.6 * p0):
        return f"population {p0} becomes {p10} in ten Life steps: not a world Life has run on"
    return None


def _self_check():
    import random
    rnd = random.Random(4)
    # geometry: the worked figures for two screens
    g = geometry(800, 600)
    assert (g["display_w"], g["display_h"], g["cols"], g["rows"]) == (832, 600, 416, 300)
    g = geometry(800, 600, zoom=0, world=2)
    assert (g["cols"], g["rows"]) == (224, 150) and placements(g) == [(288, 225, 224, 150)]
    g = geometry(1024, 768, zoom=1, world=2)
    assert placements(g) == [(256, 192, 512, 384)]
    g = geometry(1024, 768, zoom=0, world=2, tiled=1)
    assert len(placements(g)) == 16 and (0, 576, 256, 192) in placements(g)
    assert geometry(1024, 768, zoom=2, world=1, tiled=1)["tiled"] == 0
    assert dump_header(512, 384, 0x30FFFF) == bytes.fromhex(
        "42 4D 20 60 00 00 00 00 00 00 20 00 00 00 0C 00 00 00 00 02 80 01 01 00 01 00"
        " 00 00 00 FF FF 30")
    # Life: a blinker turns, a block stays, a glider wraps around the torus
    w = 32
    blinker = [0] * 8
    blinker[3] = 0b111 << 10
    turned = life_step(blinker, w)
    assert turned[2] == turned[3] == turned[4] == 1 << 11 and population(turned) == 3
    assert life_step(turned, w) == blinker
    glider = [0] * 8
    glider[0], glider[1], glider[2] = 0b010, 0b001, 0b111
    state = glider
    for _ in range(4 * 32):
        state = life_step(state, w)
    assert population(state) == 5
    # plausibility: random fields fail, an evolved soup passes
    for density in (0.02, 0.1, 0.2, 0.3, 0.5):
        field = [sum(1 << i for i in range(128) if rnd.random() < density) for _ in range(96)]
        assert life_plausibility(field, 128) is not None, density
    soup = [0] * 96
    for r in range(36, 60):
        soup[r] = sum(1 << (48 + i) for i in range(32) if rnd.random() < 0.5)
    for _ in range(200):
        soup = life_step(soup, 128)
    assert life_plausibility(soup, 128) is None
    assert life_plausibility([0] * 96, 128) == "no live cell"
    print("lifeworld self-check passed")


if __name__ == "__main__":
    _self_check()
