#!/usr/bin/env python3
"""How soon the show is on screen.

  bench/first_picture.py window [NYRA1] [RUNS] [OPTIONS...]
                                                 the window: from starting nyra1 under
                                                 Xvfb until its --screenshot-at 1 file is
                                                 there (the first picture drawn); OPTIONS
                                                 go to nyra1 (--script FILE: a script read,
                                                 checked and learned first)
  bench/first_picture.py page [PAGE_DIR] [RUNS]  the page in Chromium: from the WASM being
                                                 ready until the first picture is drawn,
                                                 as the page measures it itself

Prints each run and the median, in milliseconds.
"""
import glob
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def window(program, runs, options=()):
    display = ':%d' % (90 + os.getpid() % 9)
    xvfb = subprocess.Popen(['Xvfb', display, '-screen', '0', '1280x1024x24', '-nolisten', 'tcp'],
                            stderr=subprocess.DEVNULL)
    time.sleep(1.0)
    times = []
    try:
        for _ in range(runs + 1):  # the first run warms the caches and is not counted
            folder = tempfile.mkdtemp(prefix='nyra1-first-')
            start = time.monotonic()
            run = subprocess.Popen([program, '--screenshot-at', '1', *options], cwd=folder,
                                   env=dict(os.environ, DISPLAY=display), stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL)
            while not glob.glob(os.path.join(folder, '*.png')) and run.poll() is None:
                time.sleep(0.0005)
            times.append((time.monotonic() - start) * 1000)
            run.terminate()  # the show itself is not what is measured
            run.wait()
            shutil.rmtree(folder)
    finally:
        xvfb.terminate()
    return times[1:]


def page(folder, runs):
    script = os.path.join(ROOT, 'bench', 'page_first_picture.js')
    modules = os.path.join(ROOT, 'host', 'web', 'node_modules')
    out = subprocess.run(['node', script, modules, folder, str(runs + 1)], check=True, capture_output=True,
                         text=True).stdout
    return [float(v) for v in out.split()][1:]


def main():
    what = sys.argv[1] if len(sys.argv) > 1 else 'window'
    runs = int(sys.argv[3]) if len(sys.argv) > 3 else 10
    if what == 'window':
        options = [os.path.abspath(a) if os.path.exists(a) else a for a in sys.argv[4:]]
        times = window(os.path.abspath(sys.argv[2]) if len(sys.argv) > 2 else os.path.join(ROOT, 'build/host/nyra1'), runs,
                       options)
    elif what == 'page':
        times = page(sys.argv[2] if len(sys.argv) > 2 else os.path.join(ROOT, 'build-web/page'), runs)
    else:
        sys.exit(__doc__)
    print('runs (ms): ' + ' '.join('%.0f' % t for t in times))
    print('median %.0f ms, min %.0f, max %.0f' % (statistics.median(times), min(times), max(times)))


if __name__ == '__main__':
    main()
