#!/usr/bin/env python3
"""Finds and checks the clear scripts of the stages.

For each stage: prepares a run folder (the built data, plus a save file for
a normal stage), finds the frame in which the gameplay scene is entered
after the title-menu keys, lets `quellbore-stage solve` search the rest,
and replays the whole script in quellbore-sim to confirm the clear. The
scripts go to assets/stages/<name>.input.

usage: prove_stages.py BUILD_DIR [NAME ...] [--beam B]

The beam is 24 states, 32 on the last stage of the normal series, whose
fight lasts until the stage timer has run out.
"""
import json, os, shutil, subprocess, sys, tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
STAGES = os.path.normpath(os.path.join(HERE, '../../assets/stages'))


def script_body(name):
    """A stage's clear script without its frame count."""
    with open(os.path.join(STAGES, name + '.input')) as f:
        return [l for l in f.read().splitlines() if not l.startswith('# frames')]


def last_frame(lines):
    """The last frame a script holds a key in, or names as the stage's win
    (a boss stage is won some time after the last key)."""
    frames = [0]
    for l in lines:
        if l.startswith('# stage won at frame '):
            frames.append(int(l.split()[-1]))
        elif l and not l.startswith('#'):
            frames.append(int(l.split()[0].split('-')[-1]))
    return max(frames)


def save_index(index):
    """The save file never holds the boss stage's index (30): "continue"
    starts at the stage before it."""
    return min(index, 29)


def stage_setup(name):
    """(extra mode, stage index, menu key lines, start argument); the menu
    keys of the boss stage play stage30 with its own script first."""
    if name == 'stageboss':
        return 0, 30, script_body('stage30'), None
    if name == 'stageexboss':
        return 1, 10, ['60 down', '70 down', '80 enter'], 10
    if name.startswith('stageex'):
        i = int(name[7:]) - 1
        return 1, i, ['60 down', '70 down', '80 enter'], i
    i = int(name[5:]) - 1
    return 0, i, ['60 down', '70 enter'], None


def make_run_dir(build, name):
    extra, index, _, _ = stage_setup(name)
    d = tempfile.mkdtemp(prefix='qb-' + name + '-')
    data = os.path.join(d, 'data')
    os.mkdir(data)
    src = os.path.join(build, 'data')
    for f in os.listdir(src):
        os.symlink(os.path.join(src, f), os.path.join(data, f))
    if not extra:
        with open(os.path.join(data, 'state0.dat'), 'wb') as f:
            f.write(b'%02d \0' % save_index(index))
    return d


def sim(build, run, script_lines, frames, arg):
    path = os.path.join(run, 'in.txt')
    with open(path, 'w') as f:
        f.write('\n'.join(script_lines) + '\n')
    cmd = [os.path.join(build, 'quellbore-sim'), '--dir', run, '--frames', str(frames), '--input', path,
           '--trace', os.path.join(run, 't.jsonl')]
    if arg is not None:
        cmd += ['--arg', str(arg)]
    subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    with open(os.path.join(run, 't.jsonl')) as f:
        for line in f:
            yield json.loads(line)


def cleared(build, name, script_lines, frames):
    """True when the run plays the stage, then reaches the next stage's
    intro or the ending."""
    extra, index, _, arg = stage_setup(name)
    run = make_run_dir(build, name)
    try:
        played = False
        for t in sim(build, run, script_lines, frames, arg):
            if t['scene'] == 5 and t['StageIndex'] == index:
                played = True
            elif played and t['scene'] == 4:
                return t['StageIndex'] == index + 1
            elif played and t['scene'] in (11, 13):
                return True
        return False
    finally:
        shutil.rmtree(run)


def prove(build, name, beam):
    if beam is None:
        beam = 32 if name == 'stageboss' else 24
    extra, index, menu, arg = stage_setup(name)
    run = make_run_dir(build, name)
    try:
        start = rand = None
        for t in sim(build, run, menu, last_frame(menu) + 1000, arg):
            if t['scene'] == 5 and t['StageIndex'] == index:
                start, rand = t['frame'], t['randState']
                break
        if start is None:
            print(name + ': the gameplay scene was never entered')
            return False
        out = os.path.join(run, 'found.input')
        cmd = [os.path.join(build, 'tools/stage/quellbore-stage'), 'solve', '--data', os.path.join(run, 'data'),
               '--index', str(index), '--offset', str(start + 1), '--out', out, '--beam', str(beam), '--rand', str(rand)]
        if extra:
            cmd.append('--extra')
        if name in ('stageboss', 'stageexboss'):
            # the last stage lasts until the stage timer has run out
            cmd += ['--frames', '12000']
        r = subprocess.run(cmd, capture_output=True, text=True)
        print(r.stdout.strip())
        if r.returncode != 0:
            return False
        with open(out) as f:
            body = f.read().splitlines()
    finally:
        shutil.rmtree(run)
    lines = ['# ' + name + ': menu keys, then the found play'] + menu + body
    frames = last_frame(body) + 400
    if not cleared(build, name, lines, frames):
        print(name + ': the found script does not clear the stage in quellbore-sim')
        return False
    with open(os.path.join(STAGES, name + '.input'), 'w') as f:
        f.write('\n'.join(lines) + '\n# frames %d\n' % frames)
    return True


def main():
    args = sys.argv[1:]
    beam = None
    if '--beam' in args:
        i = args.index('--beam')
        beam = int(args[i + 1])
        del args[i:i + 2]
    build = os.path.abspath(args[0])
    names = args[1:] or sorted(f[:-4] for f in os.listdir(STAGES) if f.endswith('.txt'))
    if 'stage30' in names and 'stageboss' not in names:
        # the boss script plays stage30's script first
        names.append('stageboss')
    bad = []
    for n in names:
        if n == 'stageboss' and 'stage30' in bad:
            print('stageboss: not tried, stage30 was not proven')
            bad.append(n)
        elif not prove(build, n, beam):
            bad.append(n)
    print('proven %d of %d; not proven: %s' % (len(names) - len(bad), len(names), ' '.join(bad) or 'none'))
    return 1 if bad else 0


if __name__ == '__main__':
    sys.exit(main())
