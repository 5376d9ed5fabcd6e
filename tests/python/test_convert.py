"""vyrutility.convert on numpy arrays: shapes, layouts in place, options, errors, threads, the GIL."""
import sys
import threading

import numpy as np
import pytest

import vyrutility

rng = np.random.default_rng(18)


def random_array(shape, dtype):
    info = np.iinfo(dtype)
    return rng.integers(info.min, info.max, size=shape, dtype=dtype, endpoint=True)


def luminance(bgrx):
    b, g, r = (bgrx[..., c].astype(np.uint32) for c in range(3))
    return ((117 * b + 601 * g + 306 * r) >> 10).astype(np.uint8)


# Destination formats and the array convert makes for a 7 x 5 frame (width 7, height 5).
NATURAL = [
    ("MONO8", "MONO16", (5, 7), np.uint16),
    ("MONO8", "INT16", (5, 7), np.int16),
    ("MONO8", "INT8", (5, 7), np.int8),
    ("MONO8", "RGB888", (5, 7, 3), np.uint8),
    ("MONO8", "RGB8888", (5, 7, 4), np.uint8),
    ("MONO8", "RGB565", (5, 7), np.uint16),
    ("RGB888", "RGBP8", (3, 5, 7), np.uint8),
    ("RGB101010", "RGBP16", (3, 5, 7), np.uint16),
    ("RGB8888", "RGBAP8", (4, 5, 7), np.uint8),
    ("RGB101010", "RGB161616", (5, 7, 3), np.uint16),
    ("RGB101010", "RGB16161616", (5, 7, 4), np.uint16),
    ("RGB16161616", "RGB101010", (5, 7), np.uint32),
    ("MONO8", "YUY2", (5, 8, 2), np.uint8),  # lines of whole cells
    ("Y411", "MONO8", (5, 8), np.uint8),
    ("RGB8888", "HSV", (5, 7, 4), np.uint8),
    ("RGB888", "Bicolor1616", (5, 7, 2), np.uint16),
]


@pytest.mark.parametrize("source,destination,shape,dtype", NATURAL)
def test_new_arrays_have_the_natural_shape_and_dtype(source, destination, shape, dtype):
    sources = {"MONO8": ((5, 7), np.uint8), "RGB888": ((5, 7, 3), np.uint8), "RGB8888": ((5, 7, 4), np.uint8),
               "RGB101010": ((5, 7), np.uint32), "RGB16161616": ((5, 7, 4), np.uint16),
               "Y411": ((5, 12), np.uint8)}
    out = vyrutility.convert(random_array(*sources[source]), source, destination)
    assert out.shape == shape and out.dtype == dtype


def test_bytes_a_conversion_leaves_as_they_were_are_zero_in_new_arrays():
    mosaic = random_array((6, 8), np.uint8)
    for _ in range(3):
        assert not vyrutility.convert(mosaic, "Bayer8", "RGB8888", pattern="GBRG")[..., 3].any()


def test_values_follow_the_rules():
    grey = random_array((9, 13), np.uint8)
    words = vyrutility.convert(grey, "MONO8", "RGB8888").view(np.uint32)[..., 0]
    assert np.array_equal(words, grey.astype(np.uint32) * 0x01010101)
    bgrx = random_array((9, 13, 4), np.uint8)
    assert np.array_equal(vyrutility.convert(bgrx, "RGB8888", "MONO8"), luminance(bgrx))
    deep = random_array((9, 13), np.uint16) & 0x3FF  # 10 significant bits
    assert np.array_equal(vyrutility.convert(deep, "MONO16", "MONO8", unused_bits=6),
                          (deep >> 2).astype(np.uint8))
    # RGB8888 as one 32-bit word a pixel reads like its four bytes.
    words = bgrx.view(np.uint32)[..., 0]
    assert np.array_equal(vyrutility.convert(words, "RGB8888", "MONO8"), luminance(bgrx))


def test_line_strides_are_read_and_written_in_place():
    bgrx = random_array((12, 11, 4), np.uint8)
    every_other = bgrx[::2]
    assert np.array_equal(vyrutility.convert(every_other, "RGB8888", "MONO8"), luminance(every_other))
    upside_down = bgrx[::-1]
    assert np.array_equal(vyrutility.convert(upside_down, "RGB8888", "MONO8"), luminance(bgrx)[::-1])
    # Into every other line of a larger array: the lines between keep their bytes.
    out = np.full((12, 11), 7, np.uint8)
    result = vyrutility.convert(bgrx[:6], "RGB8888", "MONO8", out=out[::2])
    assert np.shares_memory(result, out)
    assert np.array_equal(out[::2], luminance(bgrx[:6])) and np.all(out[1::2] == 7)
    # Planes one after another, and planes in the opposite order in memory.
    planes = random_array((3, 8, 9), np.uint8)
    merged = vyrutility.convert(planes, "RGBP8", "RGB8888")
    assert np.array_equal(merged[..., 2::-1].transpose(2, 0, 1), planes)
    backwards = planes[::-1].copy()[::-1]
    assert backwards.strides[0] < 0
    assert np.array_equal(vyrutility.convert(backwards, "RGBP8", "RGB8888"), merged)
    deep = random_array((4, 5, 6), np.uint8)
    assert np.array_equal(vyrutility.convert(deep[::-1].copy()[::-1], "RGBAP8", "RGB8888"),
                          vyrutility.convert(deep, "RGBAP8", "RGB8888"))


def test_pixels_apart_are_copied_in_sources_and_refused_in_destinations():
    bgrx = random_array((6, 10, 4), np.uint8)
    every_other_pixel = bgrx[:, ::2]
    assert np.array_equal(vyrutility.convert(every_other_pixel, "RGB8888", "MONO8"),
                          luminance(every_other_pixel))
    out = np.zeros((6, 10), np.uint8)
    with pytest.raises(ValueError, match="samples of a destination line must follow each other"):
        vyrutility.convert(every_other_pixel, "RGB8888", "MONO8", out=out[:, ::2])
    assert not out.any()


@pytest.mark.parametrize("threads", [1, 2, 3, 7, 0])
def test_any_thread_count_gives_the_same_bytes(threads):
    mosaic = random_array((203, 37), np.uint8)
    alone = vyrutility.convert(mosaic, "Bayer8", "RGBP8", pattern="GRBG", threads=1)
    result = vyrutility.convert(mosaic, "Bayer8", "RGBP8", pattern="GRBG", threads=threads)
    assert np.array_equal(result, alone)


def test_every_listed_conversion_converts_an_odd_frame():
    formats = {f.name: f for f in vyrutility.formats()}
    listed = vyrutility.conversions()
    assert len(listed) >= 100
    for c in listed:
        source = formats[c.source]
        if source.planes > 1:
            shape = (source.planes, 5, 7)
        elif source.bytes_per_unit % source.pixels_per_unit:
            shape = (5, 12)  # Y411: two units a line
        else:
            channels = source.bytes_per_unit // source.pixels_per_unit // source.dtype.itemsize
            width = 8 if source.pixels_per_unit == 2 else 7
            shape = (5, width) + ((channels,) if channels > 1 else ())
        frame = random_array(shape, source.dtype)
        if source.name == "Bayer15":
            frame &= 0x7FFF
        kwargs = {"pattern": "BGGR"} if "pattern" in c.options else {}
        out = vyrutility.convert(frame, c.source, c.destination, **kwargs)
        assert out.dtype == formats[c.destination].dtype, c.name


def test_refusals_raise_with_the_library_message_and_leave_out_alone():
    grey = random_array((4, 6), np.uint8)
    out, grey_out = np.zeros((4, 6, 4), np.uint8), np.zeros((4, 6), np.uint8)
    cases = [
        (ValueError, "unknown source format 'GREY'", dict(src=grey, from_format="GREY", to_format="RGB8888")),
        (ValueError, "no conversion from MONO8 to HSV", dict(src=grey, from_format="MONO8", to_format="HSV")),
        (TypeError, "holds integers, not float32", dict(src=grey.astype(np.float32), from_format="MONO8",
                                                         to_format="RGB8888")),
        (TypeError, "a MONO8 pixel is 1 bytes, not 2", dict(src=grey.astype(np.uint16), from_format="MONO8",
                                                           to_format="RGB8888")),
        (ValueError, "Bayer8toRGB8888 needs a Bayer pattern", dict(src=grey, from_format="Bayer8",
                                                                   to_format="RGB8888")),
        (ValueError, "pattern 'RGBG' is not GBRG", dict(src=grey, from_format="Bayer8", to_format="RGB8888",
                                                        pattern="RGBG")),
        (ValueError, "method '3x3' is not 2x2 or malvar", dict(src=grey, from_format="Bayer8",
                                                               to_format="RGB8888", pattern="RGGB",
                                                               method="3x3")),
        (ValueError, "MONO8toRGB8888 takes no blue first", dict(src=grey, from_format="MONO8",
                                                                to_format="RGB8888", blue_first=True)),
        (ValueError, "MONO16toMONO8 takes unused bits 0 to 8, not 9",
         dict(src=grey.astype(np.uint16), from_format="MONO16", to_format="MONO8", unused_bits=9,
              out=grey_out)),
        (ValueError, "the source is 5 x 4 pixels, the destination 6 x 4",
         dict(src=grey[:, :5], from_format="MONO8", to_format="RGB8888")),
        (ValueError, "Malvar method needs at least 4 x 2 pixels, not 6 x 1",
         dict(src=grey[:1], from_format="Bayer8", to_format="RGB8888", pattern="RGGB", out=out[:1])),
        (ValueError, "threads are 0 (one per processor) to 256, not 300",
         dict(src=grey, from_format="MONO8", to_format="RGB8888", threads=300)),
        (TypeError, "threads is a whole number", dict(src=grey, from_format="MONO8", to_format="RGB8888",
                                                      threads=1.5)),
        (TypeError, "the source is a numpy array, not list", dict(src=[[1, 2]], from_format="MONO8",
                                                                   to_format="RGB8888")),
    ]
    for error, message, arguments in cases:
        with pytest.raises(error, match=message.replace("(", r"\(").replace(")", r"\)")):
            vyrutility.convert(**{"out": out, **arguments})
        assert not out.any() and not grey_out.any(), message
    with pytest.raises(ValueError, match="destination plane 0 overlaps source plane 0"):
        vyrutility.convert(out, "RGB8888", "HSV", out=out)
    read_only = np.zeros((4, 6, 4), np.uint8)
    read_only.flags.writeable = False
    with pytest.raises(ValueError, match="read-only"):
        vyrutility.convert(grey, "MONO8", "RGB8888", out=read_only)


def test_conversions_list_names_options_and_ranges():
    listed = {c.name: c for c in vyrutility.conversions()}
    assert listed["Bayer8toRGBP8"].options == ("pattern", "method")
    assert listed["Bicolor1616toRGB888"].options == ("unused_bits", "blue_first")
    assert listed["MONO32toMONO8"].max_unused_bits == 24
    assert listed["MONO8toRGB8888"].options == () and listed["MONO8toRGB8888"].note is None
    assert "fourth" in listed["RGB8888toRGBAP8"].note


def test_the_gil_is_released_while_converting():
    """With a switch interval far longer than the test, this thread runs while another converts only
    if the conversion lets go of the GIL."""
    mosaic = random_array((3000, 4096), np.uint8)
    out = np.zeros((3000, 4096, 4), np.uint8)  # nothing that might let go of the GIL before the call
    started, done = threading.Event(), threading.Event()

    def convert():
        started.set()
        vyrutility.convert(mosaic, "Bayer8", "RGB8888", pattern="RGGB", threads=1, out=out)
        done.set()

    interval = sys.getswitchinterval()
    sys.setswitchinterval(100.0)
    try:
        worker = threading.Thread(target=convert)
        worker.start()
        started.wait()
        converting_meanwhile = not done.is_set()
        worker.join()
    finally:
        sys.setswitchinterval(interval)
    assert converting_meanwhile
