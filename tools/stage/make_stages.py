#!/usr/bin/env python3
"""Lays out the first drafts of the 42 stage sources in assets/stages/.

Each stage is built from a seeded list of segments (flat runs, pits, steps,
block shelves, enemy groups) whose sizes grow with the stage's place in the
series. The drafts are then the readable sources: edit the .txt files by
hand; run this again only to start over (it overwrites them).
"""
import random, sys, os

W, H = 320, 16
LEGEND = [('.', 0, 'empty'), ('#', 1, 'ground'), ('B', 2, 'breakable block'),
          ('C', 3, 'block with a coin'), ('K', 4, 'block with a key'),
          ('H', 5, 'hidden block'), ('$', 10, 'coin'), ('*', 11, 'key'),
          ('D', 49, 'exit door')]
LEGEND += [(chr(ord('a') + k), 50 + k, 'enemy kind %d' % k) for k in range(24)]
LEGEND += [('y', 80, 'enemy kind 30 (drifting shot)'), ('%', 98, 'extra-stage boss'),
           ('&', 99, 'last-stage boss')]

# Enemy kinds by how hard they are to pass; shots (13, 18, 20) and the
# ghost (17) come late.
EASY = [0, 5, 1, 15]
MID = [7, 4, 3, 16, 21, 2, 12, 19, 23]
HARD = [6, 8, 9, 10, 11, 14, 22, 13, 18, 20, 17]


def ch(kind):
    return chr(ord('a') + kind) if kind < 24 else 'y'


class Stage:
    def __init__(self):
        self.g = [['.'] * W for _ in range(H)]

    def col(self, x, top):
        for c in range(top, H):
            self.g[c][x] = '#'

    def put(self, x, c, s):
        if 0 <= x < W and 0 <= c < H:
            self.g[c][x] = s


def build(name, level, kind, ground, seed, final=None):
    rnd = random.Random(seed)
    st = Stage()
    d = level / 40.0  # 0 .. 1
    top = 12
    x = 0
    while x < 14:
        st.col(x, top); x += 1
    key_at = rnd.randint(120, 200)
    key_done = False
    door_x = 300
    kinds = EASY + (MID if level >= 5 else []) + (HARD if level >= 14 else [])
    while x < door_x - 8:
        seg = rnd.random()
        if not key_done and x >= key_at:
            # key on a short shelf or inside a block above the ground
            n = 6
            for i in range(n):
                st.col(x + i, top)
            st.put(x + 3, top - 1, '*')
            if rnd.random() < 0.4:
                # a spare key in a block, for a drill thrown upwards
                st.put(x + 3, top - 4, 'K')
                st.put(x + 2, top - 4, 'B')
                st.put(x + 4, top - 4, 'B')
            x += n; key_done = True
            continue
        if seg < 0.25 + 0.1 * d:
            # pit
            w = rnd.randint(1, 2 if d < 0.3 else 3)
            x += w
            n = rnd.randint(4, 7)
            for i in range(n):
                st.col(x + i, top)
            x += n
        elif seg < 0.45:
            # step up or down
            nt = max(8, min(13, top + rnd.choice([-2, -1, 1, 2])))
            top = nt
            n = rnd.randint(5, 9)
            for i in range(n):
                st.col(x + i, top)
            x += n
        elif seg < 0.65:
            # block shelf with coins above
            n = rnd.randint(7, 10)
            for i in range(n):
                st.col(x + i, top)
            sx = x + 2
            for i in range(rnd.randint(2, 4)):
                st.put(sx + i, top - 4, rnd.choice('BBCC'))
                st.put(sx + i, top - 5, '$')
            if rnd.random() < 0.5:
                st.put(x + n - 1, top - 4, 'H')
            x += n
        else:
            # flat run with enemies
            n = rnd.randint(8, 14)
            for i in range(n):
                st.col(x + i, top)
            cnt = 1 + int(d * 2.5 * rnd.random())
            for e in range(cnt):
                k = rnd.choice(kinds)
                ex = x + 4 + rnd.randint(0, n - 5)
                cy = top - 1
                if k in (6, 9, 10, 11, 14, 17, 22, 2, 12):
                    cy = top - 4
                st.put(ex, cy, ch(k))
            for i in range(rnd.randint(0, 3)):
                st.put(x + 2 + i, top - 2, '$')
            x += n
    while x < W:
        st.col(x, top); x += 1
    if not key_done:
        st.put(door_x - 12, top - 1, '*')
    if final is None:
        st.put(door_x, top - 1, 'D')
    return st, top


def write(path, name, title, kind, ground, st):
    with open(path, 'w') as f:
        f.write('# %s: %s\n' % (name, title))
        f.write('StageKind %d\nGroundRow %d\n' % (kind, ground))
        used = set(c for line in st.g for c in line)
        for c, v, what in LEGEND:
            if c in used:
                f.write('legend %s %d %s\n' % (c, v, what))
        f.write('map\n')
        for line in st.g:
            f.write(''.join(line).rstrip('.') + '\n')


def main(out):
    os.makedirs(out, exist_ok=True)
    names = [('stage%02d' % (i + 1), i) for i in range(30)]
    for n, i in names:
        kind = [0, 1, 2, 3, 4][(i // 6) % 5]
        ground = 4 if kind == 4 else kind
        st, _ = build(n, i, kind, ground, 1000 + i)
        write(os.path.join(out, n + '.txt'), n, 'normal stage %d' % (i + 1), kind, ground, st)
    for i in range(10):
        n = 'stageex%02d' % (i + 1)
        kind = [3, 4, 2, 1, 0][i % 5]
        ground = 4 if kind == 4 else kind
        st, _ = build(n, 20 + 2 * i, kind, ground, 2000 + i)
        write(os.path.join(out, n + '.txt'), n, 'extra stage %d' % (i + 1), kind, ground, st)
    # boss arenas: flat, with the boss code a screen in
    for n, code, kind in (('stageboss', '&', 3), ('stageexboss', '%', 2)):
        st = Stage()
        for x in range(W):
            st.col(x, 13)
        if code == '&':
            st.put(24, 12, '&')
        else:
            st.put(40, 12, '%')
        write(os.path.join(out, n + '.txt'), n, 'boss arena', kind, kind, st)


if __name__ == '__main__':
    main(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), '../../assets/stages'))
