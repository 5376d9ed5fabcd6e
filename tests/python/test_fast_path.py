"""convert's C function against the Python implementation it sends all but the plain case to: the same
arrays and the same errors, and the plain case never leaves C."""
import numpy as np
import pytest

import vyrutility

rng = np.random.default_rng(81)


def random_array(shape, dtype):
    info = np.iinfo(dtype)
    return rng.integers(info.min, info.max, size=shape, dtype=dtype, endpoint=True)


@pytest.fixture
def handed_over():
    """The calls convert hands to the Python implementation, while the test runs."""
    calls = []

    def checked(*args, **kwargs):
        calls.append((args, kwargs))
        return vyrutility._checked_convert(*args, **kwargs)

    vyrutility._fast_path(checked)
    try:
        yield calls
    finally:
        vyrutility._fast_path(vyrutility._checked_convert)


bgrx = random_array((9, 11, 4), np.uint8)
planes = random_array((3, 9, 11), np.uint8)
mosaic = random_array((10, 12), np.uint8)
# (source, from, to, keywords): every layout the C function reads, every option it passes on.
PLAIN = [
    (bgrx, "RGB8888", "MONO8", {}),
    (bgrx, "rgb8888", "HSV", {"threads": 3}),
    (bgrx.view(np.uint32)[..., 0], "RGB8888", "LAB", {}),  # one word a pixel
    (bgrx[::2], "RGB8888", "RGB888", {}),  # every other line
    (bgrx[::-1], "RGB8888", "RGBAP8", {}),  # upside down, into planes
    (bgrx[:1], "RGB8888", "YUY2", {}),  # one line, into 4:2:2 cells for an odd width
    (planes, "RGBP8", "RGB8888", {}),
    (planes[::-1].copy()[::-1], "RGBP8", "RGB8888", {}),  # planes in the opposite order in memory
    (mosaic, "Bayer8", "RGB8888", {"pattern": "GBRG"}),
    (mosaic, "Bayer8", "RGB8888", {"pattern": "rggb", "method": "2x2", "threads": 2}),
    (mosaic, "BAYER8", "RGBP8", {"pattern": "BGGR", "method": "MALVAR"}),
    (random_array((5, 7), np.uint16) & 0x3FF, "MONO16", "MONO8", {"unused_bits": 6}),
    (random_array((5, 7, 2), np.uint16), "Bicolor1616", "RGB888", {"blue_first": True, "unused_bits": 2}),
    (random_array((5, 3), np.uint8), "MONO1", "MONO1", {}),  # 8 pixels a byte
    (random_array((5, 12), np.uint8), "Y411", "RGB888", {}),
    (random_array((5, 7), np.uint16) & 0xFFF, "MONO16", "YUY2", {"unused_bits": 4}),
    (random_array((5, 8, 2), np.uint8), "YUY2", "RGB8888", {}),
]


@pytest.mark.parametrize("src,source,destination,keywords", PLAIN)
def test_plain_calls_stay_in_c_and_give_what_python_gives(handed_over, src, source, destination, keywords):
    made = vyrutility.convert(src, source, destination, **keywords)
    expected = vyrutility._checked_convert(src, source, destination, **keywords)
    assert made.shape == expected.shape and made.dtype == expected.dtype
    assert np.array_equal(made, expected)
    # Into every other line of a larger array (of every plane): the lines between keep their bytes.
    lines = 1 if vyrutility._formats[destination.lower()].planes > 1 else 0
    shape = list(expected.shape)
    shape[lines] *= 2
    larger = np.full(shape, 7, expected.dtype)
    every_other = (slice(None),) * lines + (slice(None, None, 2),)
    between = (slice(None),) * lines + (slice(1, None, 2),)
    out = larger[every_other]
    out[...] = 0
    assert vyrutility.convert(src, source, destination, out=out, **keywords) is out
    assert np.array_equal(out, expected) and np.all(larger[between] == 7)
    assert handed_over == []


def test_other_calls_are_handed_to_python_with_their_arguments(handed_over):
    out = np.zeros((9, 11), np.uint8)
    calls = [
        ((bgrx[:, ::2], "RGB8888", "MONO8"), {}),  # a source whose pixels are apart: copied first
        ((bgrx, "Rgb8888", "MONO8"), {}),  # a name in an unusual case
        ((bgrx, "RGB8888", "MONO8"), {"threads": np.uint8(2)}),
        ((bgrx, "RGB8888", "MONO8"), {"out": out, "unused_bits": 0.0}),
    ]
    for args, keywords in calls:
        result = vyrutility.convert(*args, **keywords)
        assert np.array_equal(result, vyrutility._checked_convert(*args, **keywords))
    assert len(handed_over) == len(calls)
    for (args, keywords), (passed_args, passed_keywords) in zip(calls, handed_over):
        assert passed_keywords == keywords and all(a is b for a, b in zip(args, passed_args))


def message_of(function, *args, **kwargs):
    with pytest.raises((TypeError, ValueError, MemoryError)) as raised:
        function(*args, **kwargs)
    return type(raised.value), str(raised.value)


def test_every_refusal_is_the_python_implementation_s():
    grey = random_array((4, 6), np.uint8)
    out = np.zeros((4, 6, 4), np.uint8)
    read_only = np.zeros((4, 6, 4), np.uint8)
    read_only.flags.writeable = False
    cases = [
        # Found in C, by the library.
        ((grey[:, :5], "MONO8", "RGB8888"), {"out": out}),
        ((grey, "MONO8", "RGB8888"), {"blue_first": True}),
        ((grey, "MONO8", "RGB8888"), {"method": "2x2"}),
        ((grey, "MONO8", "RGB8888"), {"threads": 300}),
        ((grey.astype(np.uint16), "MONO16", "MONO8"), {"unused_bits": 9}),
        ((grey, "Bayer8", "RGB8888"), {}),
        ((grey[:1], "Bayer8", "RGB8888"), {"pattern": "RGGB", "out": out[:1]}),
        ((out, "RGB8888", "HSV"), {"out": out}),
        # Found in Python.
        ((grey, "GREY", "RGB8888"), {}),
        ((grey, 8, "RGB8888"), {}),
        ((grey, "MONO8", "HSV"), {}),
        ((grey.astype(np.float32), "MONO8", "RGB8888"), {}),
        ((grey.astype(np.uint16), "MONO8", "RGB8888"), {}),
        (([[1, 2]], "MONO8", "RGB8888"), {}),
        ((grey, "Bayer8", "RGB8888"), {"pattern": "RGBG"}),
        ((grey, "Bayer8", "RGB8888"), {"pattern": "RGGB", "method": "3x3"}),
        ((grey, "MONO8", "RGB8888"), {"threads": 1.5}),
        ((grey, "MONO8", "RGB8888"), {"threads": True}),
        ((grey, "MONO8", "RGB8888"), {"unused_bits": -1}),
        ((grey, "MONO8", "RGB8888"), {"out": read_only}),
        ((grey, "MONO8", "RGB8888"), {"out": out[:, ::2]}),
        ((grey, "MONO8", "RGB8888"), {"out": out.astype(np.uint16)}),
        ((grey, "MONO8", "RGB8888"), {"colour": 1}),
        ((grey, "MONO8", "RGB8888", 1), {}),
        ((grey, "MONO8"), {}),
        ((grey, "MONO8"), {"from_format": "MONO8"}),
    ]
    for args, kwargs in cases:
        expected = message_of(vyrutility._checked_convert, *args, **kwargs)
        assert message_of(vyrutility.convert, *args, **kwargs) == expected, expected
        assert not out.any()
