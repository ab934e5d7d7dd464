"""The picture each display type shows after its first tick, computed from the desktop picture by the
fault's closed-form mapping; shared by the X11 and Wine tests and the screenshot scripts."""

BLACK = 0


def expected(kind, w, h, p):
    """The whole screen after the first tick for display type `kind`, from desktop picture p."""
    at = lambda x, y: p[y * w + x]
    out = [BLACK] * (w * h)
    if kind == 1:  # half a turn
        return [at(w - 1 - x, h - 1 - y) for y in range(h) for x in range(w)]
    if kind == 2:  # half width, from a quarter across
        for k in range((w + 1) // 2):
            for y in range(h):
                out[y * w + w // 4 + k] = at(2 * k, y)
        return out
    if kind == 3:  # half width and height, corner at the quarter point
        for j in range((h + 1) // 2):
            for i in range((w + 1) // 2):
                out[(h // 4 + j) * w + w // 4 + i] = at(2 * i, 2 * j)
        return out
    if kind == 4:  # half height, from a quarter down
        for j in range((h + 1) // 2):
            out[(h // 4 + j) * w:(h // 4 + j + 1) * w] = p[2 * j * w:(2 * j + 1) * w]
        return out
    if kind == 5:  # mirrored
        return [at(w - 1 - x, y) for y in range(h) for x in range(w)]
    if kind == 6:  # pushed down an eighth, rising one row every 34 columns
        for sy in range(h):
            for x in range(w):
                y = h // 8 + sy - x // 34
                if 0 <= y < h:
                    out[y * w + x] = at(x, sy)
        return out
    if kind == 7:  # unchanged (the fire comes later)
        return list(p)
    if kind == 8:  # inverted colours
        return [~v & 0xFFFFFF for v in p]
    raise ValueError(kind)


def scorch_only(w, h, p):
    """A test of a screen: the desktop p with a scorch of at most 275 x 317 pixels burnt into it (the
    overvoltage fault after its second tick), not the plain desktop nor a black or other picture."""

    def check(pixels):
        bad = [i for i in range(w * h) if pixels[i] != p[i]]
        if not bad or len(bad) == w * h:
            return False  # the desktop before the saver's window, or its black before the tick
        xs = [i % w for i in bad]
        ys = [i // w for i in bad]
        return max(xs) - min(xs) < 275 and max(ys) - min(ys) < 317

    return check
