#!/usr/bin/python3
"""vyrutility.convert against cv2.cvtColor on the jobs both do, and against the bare C call.

    PYTHONPATH=out/release/python /usr/bin/python3 bench/bench_python_cv2.py [--runs N] [--threads T]

On a 1920 x 1080 frame, one run of every job after another, N times over (interleaved, so a busy
moment of the machine touches every job alike; the C call and convert take turns at going first);
the figures are medians. Before every timed call, 64 MiB are written elsewhere: each call starts as
one on a new frame from a camera does, with neither the frame nor the code that converts it in the
caches, whatever ran just before it.
Columns:
  C ms        VyrFrameConvert with its arguments made beforehand, called from Python through the
              build tree's vyr_bench_call (ctypes where that is missing, which is slower): what a C
              program pays per frame, timed the way convert is
  convert ms  vyrutility.convert(..., out=) with the arrays made beforehand
  overhead    convert over the C call, and the difference in microseconds
  cv2 ms      cv2.cvtColor(..., dst=) on the same frame
  cv2/ours    how many times longer cv2 takes
Both libraries run on T threads (default 1; cv2.setNumThreads). Exits 0 with a note when cv2 (Debian's
python3-opencv) or vyrutility cannot be imported.
"""
import argparse
import ctypes
import statistics
import sys
import time

try:
    import numpy as np
    import vyrutility
    from vyrutility import _native
except ImportError as error:
    print(f"skipped: vyrutility cannot be imported ({error}); set PYTHONPATH to <build>/python")
    sys.exit(0)
try:
    import vyr_bench_call  # built beside the package in the build tree
except ImportError:
    vyr_bench_call = None
try:
    import cv2
except ImportError:
    print("skipped: cv2 cannot be imported (apt-get install python3-opencv)")
    sys.exit(0)

HEIGHT, WIDTH = 1080, 1920


def jobs(rng):
    """(name, source array, our formats and options, cv2 code, cv2 source, destination shapes)."""
    bgra = rng.integers(0, 256, (HEIGHT, WIDTH, 4), np.uint8)
    bgr = np.ascontiguousarray(bgra[..., :3])
    mosaic = rng.integers(0, 256, (HEIGHT, WIDTH), np.uint8)
    yuy2 = rng.integers(0, 256, (HEIGHT, WIDTH, 2), np.uint8)
    # OpenCV names a Bayer pattern by the second row's cell: its BayerBG is the RGGB sensor.
    return [
        ("YUY2 to BGRA", yuy2, ("YUY2", "RGB8888", {}), cv2.COLOR_YUV2BGRA_YUY2, yuy2, (HEIGHT, WIDTH, 4)),
        ("Bayer to BGR, malvar / bilinear", mosaic, ("Bayer8", "RGB8888", {"pattern": "RGGB"}),
         cv2.COLOR_BayerBG2BGR, mosaic, (HEIGHT, WIDTH, 3)),
        ("Bayer to BGR, 2x2 / bilinear", mosaic, ("Bayer8", "RGB8888", {"pattern": "RGGB", "method": "2x2"}),
         cv2.COLOR_BayerBG2BGR, mosaic, (HEIGHT, WIDTH, 3)),
        ("BGR to HSV", bgra, ("RGB8888", "HSV", {}), cv2.COLOR_BGR2HSV, bgr, (HEIGHT, WIDTH, 3)),
        ("BGR to Lab", bgra, ("RGB8888", "LAB", {}), cv2.COLOR_BGR2Lab, bgr, (HEIGHT, WIDTH, 3)),
        ("BGRA to grey", bgra, ("RGB8888", "MONO8", {}), cv2.COLOR_BGRA2GRAY, bgra, (HEIGHT, WIDTH)),
        # Next to nothing to convert: what the call itself costs.
        ("BGRA to grey, 16 x 8", bgra[:8, :16], ("RGB8888", "MONO8", {}), cv2.COLOR_BGRA2GRAY, bgra[:8, :16],
         (8, 16)),
    ]


def bare_call(src, source_format, destination_format, out, options):
    """VyrFrameConvert with its arguments made once: what a C program pays per frame."""
    code = {name: vyrutility._formats[name.lower()].code for name in (source_format, destination_format)}
    height, width = src.shape[:2]
    pattern = _native.find_pattern(options.get("pattern", "").encode())
    method = 0
    if "pattern" in options:
        method = {"2x2": _native.METHOD_2X2}.get(options.get("method"), _native.METHOD_MALVAR)
    if vyr_bench_call:
        prepared = vyr_bench_call.prepare(src.ctypes.data, src.strides[0], code[source_format],
                                          out.ctypes.data, out.strides[0], code[destination_format], width,
                                          height, pattern, method, options["threads"])
        run = vyr_bench_call.run
        return lambda: run(prepared)
    source = _native.Image(code[source_format], width, height, src.strides[0])
    source.planes[0] = src.ctypes.data
    destination = _native.Image(code[destination_format], width, height, out.strides[0])
    destination.planes[0] = out.ctypes.data
    frame_options = _native.Options(0, pattern, method, 0, options["threads"])
    arguments = (ctypes.byref(source), ctypes.byref(destination), ctypes.byref(frame_options))
    convert = _native.convert
    return lambda: convert(*arguments)


def written_out(src, source_format, destination_format, out, options):
    """vyrutility.convert with its keywords spelled out, as a program calls it (a dict of keywords
    unpacked on every call would cost convert a few microseconds that no user need pay)."""
    keywords = ", ".join(f"{name}={name}" for name in options)
    return eval(f"lambda: convert(src, source_format, destination_format, out=out, {keywords})",
                {"convert": vyrutility.convert, "src": src, "source_format": source_format,
                 "destination_format": destination_format, "out": out, **options})


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--runs", type=int, default=30)
    parser.add_argument("--threads", type=int, default=1)
    arguments = parser.parse_args()
    cv2.setNumThreads(arguments.threads)
    rng = np.random.default_rng(1)
    table = []
    for name, src, (source_format, destination_format, options), code, cv_src, cv_shape in jobs(rng):
        options = dict(options, threads=arguments.threads)
        ours = vyrutility.convert(src, source_format, destination_format, **options)
        theirs = cv2.cvtColor(cv_src, code)
        assert theirs.shape == cv_shape
        c_call = bare_call(src, source_format, destination_format, ours, options)
        assert c_call() == 0
        timed = {
            "C": c_call,
            "convert": written_out(src, source_format, destination_format, ours, options),
            "cv2": lambda s=cv_src, c=code, d=theirs: cv2.cvtColor(s, c, dst=d),
        }
        table.append((name, timed, {key: [] for key in timed}))
    flush = np.empty(64 << 20, np.uint8)
    for turn in range(arguments.runs):
        for _, timed, seconds in table:
            for key in ("C", "convert", "cv2") if turn % 2 else ("convert", "C", "cv2"):
                run = timed[key]
                flush.fill(turn & 0xFF)
                start = time.perf_counter()
                run()
                seconds[key].append(time.perf_counter() - start)

    print(f"{WIDTH} x {HEIGHT}, {arguments.threads} thread(s), median of {arguments.runs} interleaved runs "
          f"(spread: the middle half of the runs, as a share of the median); C call through "
          + ("vyr_bench_call" if vyr_bench_call else "ctypes"))
    print(f"{'job':34} {'C ms':>8} {'convert ms':>11} {'overhead':>9} {'(us)':>6} {'cv2 ms':>8} "
          f"{'cv2/ours':>9} {'spread':>7}")
    for name, _, seconds in table:
        median = {key: statistics.median(values) for key, values in seconds.items()}
        quartiles = statistics.quantiles(seconds["convert"], n=4)
        spread = (quartiles[2] - quartiles[0]) / median["convert"]
        print(f"{name:34} {median['C'] * 1e3:8.3f} {median['convert'] * 1e3:11.3f} "
              f"{(median['convert'] / median['C'] - 1) * 100:8.1f}% "
              f"{(median['convert'] - median['C']) * 1e6:6.1f} {median['cv2'] * 1e3:8.3f} "
              f"{median['cv2'] / median['convert']:8.2f}x {spread * 100:6.1f}%")


if __name__ == "__main__":
    main()
