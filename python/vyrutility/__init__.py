"""Whole frames through the VyrUtility converters, for numpy arrays.

    import numpy as np, vyrutility
    raw = np.fromfile("frame.raw", np.uint8).reshape(1080, 1920)
    rgb = vyrutility.convert(raw, "Bayer8", "RGB8888", pattern="RGGB")   # (1080, 1920, 4) uint8

Arrays have their natural shapes: (H, W) for one sample a pixel (MONO8 uint8, MONO16 uint16, MONO32
and RGB101010 uint32, INT8 int8, ...), (H, W, C) for several (RGB888 (H, W, 3) uint8, RGB8888 (H, W, 4)
uint8 or (H, W) uint32, RGB161616 (H, W, 3) uint16, YUY2 (H, W, 2) uint8), (P, H, W) for planar
formats, and (H, bytes) uint8 for MONO1 and Y411, whose pixels share bytes. Lines may be apart by any
pitch (a view of every other line, a frame turned upside down): they are read and written in place.
"""
import collections
import ctypes
import math

import numpy as np

from . import _native  # first: it loads libVyrFrame, which _frame links and finds by its soname
from . import _frame
from ._paths import VERSION as __version__
from ._shared import AbandonedLockWarning, SharedBuffer

__all__ = ["convert", "conversions", "formats", "SharedBuffer", "AbandonedLockWarning", "__version__"]

Format = collections.namedtuple(
    "Format", "name summary planes pixels_per_unit bytes_per_unit dtype sample_bits")
Conversion = collections.namedtuple(
    "Conversion", "source destination name options max_unused_bits note")

_OPTION_NAMES = ((_native.TAKES_UNUSED_BITS, "unused_bits"), (_native.TAKES_PATTERN, "pattern"),
                 (_native.TAKES_METHOD, "method"), (_native.TAKES_BLUE_FIRST, "blue_first"))
_METHODS = {"2x2": _native.METHOD_2X2, "malvar": _native.METHOD_MALVAR}


class _FormatEntry:
    """A format as convert() reads and writes it."""

    def __init__(self, info):
        self.code = info.format
        self.name = info.name.decode()
        self.planes = info.planes
        self.unit_pixels = info.pixels_per_unit
        self.unit_bytes = info.bytes_per_unit
        kind = "i" if info.is_signed else "u"
        self.dtype = np.dtype(f"<{kind}{info.element_bytes}")
        # Pixels of whole bytes: (H, W[, C]); pixels that share bytes: (H, bytes).
        self.pixel_bytes = info.bytes_per_unit // info.pixels_per_unit \
            if info.bytes_per_unit % info.pixels_per_unit == 0 else 0
        self.public = Format(self.name, info.summary.decode(), info.planes, info.pixels_per_unit,
                             info.bytes_per_unit, self.dtype, info.sample_bits)

    def line_bytes(self, width):
        return _native.line_bytes(self.code, width)  # bit-packed camera lines end at their last bit

    def new_array(self, width, height):
        """Zeros: what a conversion leaves as it was (a fourth byte) is 0, not what memory held."""
        if self.planes > 1:
            return np.zeros((self.planes, height, width), self.dtype)
        if not self.pixel_bytes:
            return np.zeros((height, self.line_bytes(width)), np.uint8)
        # Lines of whole units: an odd-width 4:2:2 frame gets the last cell whole.
        pixels = self.line_bytes(width) // self.pixel_bytes
        channels = self.pixel_bytes // self.dtype.itemsize
        return np.zeros((height, pixels) + ((channels,) if channels > 1 else ()), self.dtype)


def _load_formats():
    entries = {}
    for i in range(_native.format_count()):
        entry = _FormatEntry(_native.format_at(i).contents)
        entries[entry.name.lower()] = entry
    return entries


def _load_conversions(entries):
    by_code = {entry.code: entry for entry in entries.values()}
    table = {}
    for i in range(_native.conversion_count()):
        info = _native.conversion_at(i).contents
        source, destination = by_code[info.source], by_code[info.destination]
        public = Conversion(source.name, destination.name, info.name.decode(),
                            tuple(name for bit, name in _OPTION_NAMES if info.options & bit),
                            info.max_unused_bits, info.note.decode() if info.note else None)
        table[(source.code, destination.code)] = (source, destination, info.options, public)
    return table


_formats = _load_formats()
_conversions = _load_conversions(_formats)
_by_names = {}  # (from_format, to_format) as given: the conversion's entry


def formats():
    """Every format: name, summary, planes, pixels and bytes of a unit, numpy dtype, bits of a sample."""
    return [entry.public for entry in _formats.values()]


def conversions():
    """Every conversion convert() takes: source and destination format, name, the options it takes
    (of unused_bits, pattern, method, blue_first), its most unused bits, and a note or None."""
    return [entry[3] for entry in _conversions.values()]


def _conversion(from_format, to_format):
    key = (from_format, to_format)
    found = _by_names.get(key)
    if found is None:
        ends = []
        for role, name in (("source", from_format), ("destination", to_format)):
            if not isinstance(name, str):
                raise TypeError(f"the {role} format is a name such as 'MONO8', not {type(name).__name__}")
            entry = _formats.get(name.lower())
            if entry is None:
                raise ValueError(f"unknown {role} format '{name}' (known: "
                                 + ", ".join(e.name for e in _formats.values()) + ")")
            ends.append(entry)
        found = _conversions.get((ends[0].code, ends[1].code))
        if found is None:
            raise ValueError(f"no conversion from {ends[0].name} to {ends[1].name}")
        _by_names[key] = found
    return found


def _image(array, entry, role, writable, width_of_source=None):
    """The VyrFrameImage of an array of the format; an array whose lines are not laid out plainly is
    copied (a source) or refused (a destination). A destination whose pixels share units (4:2:2
    cells) holds whole units: it takes the source's width where its lines are that width's units."""
    if not isinstance(array, np.ndarray):
        raise TypeError(f"the {role} is a numpy array, not {type(array).__name__}")
    if array.dtype.kind not in "ui":
        raise TypeError(f"the {role} of {entry.name} holds integers, not {array.dtype}")
    if writable and not array.flags.writeable:
        raise ValueError(f"the {role} array is read-only")
    shape, strides, itemsize = array.shape, array.strides, array.itemsize
    planes = entry.planes
    first = 1 if planes > 1 else 0  # the axis of the lines
    if len(shape) < first + 2 or (planes > 1 and shape[0] != planes):
        expected = f"({planes}, height, width)" if planes > 1 else "(height, width, ...)"
        raise ValueError(f"a {entry.name} {role} has the shape {expected}, not {shape}")
    # Within a line the samples follow each other; lines and planes may be anywhere.
    inner = 1
    for axis in range(len(shape) - 1, first, -1):
        if shape[axis] != 1 and strides[axis] != itemsize * inner:
            if writable:
                raise ValueError(f"the samples of a {role} line must follow each other (strides {strides})")
            return _image(np.ascontiguousarray(array), entry, role, writable, width_of_source)
        inner *= shape[axis]
    line_bytes = inner * itemsize
    height = shape[first]
    if entry.pixel_bytes:
        pixel = math.prod(shape[first + 2:]) * itemsize
        if pixel != entry.pixel_bytes:
            raise TypeError(f"a {entry.name} pixel is {entry.pixel_bytes} bytes, not {pixel} "
                            f"({array.dtype} of shape {shape[first + 2:] or '()'})")
        width = shape[first + 1]
    else:
        width = line_bytes * entry.unit_pixels // entry.unit_bytes
    if (width_of_source and entry.unit_pixels > 1
            and entry.line_bytes(width_of_source) == entry.line_bytes(width)):
        width = width_of_source
    if width == 0 or entry.line_bytes(width) > line_bytes:
        raise ValueError(f"a line of {line_bytes} bytes holds no whole {entry.name} line "
                         f"({entry.unit_bytes} bytes per {entry.unit_pixels} pixels)")
    image = _native.Image(entry.code, width, height, strides[first] if height > 1 else line_bytes)
    address = array.ctypes.data
    if planes == 1:
        image.planes[0] = address
    else:
        for k in range(planes):
            image.planes[k] = address + k * strides[0]
    return image, array


def _checked_convert(src, from_format, to_format, *, pattern=None, method="malvar", unused_bits=0,
                     blue_first=False, threads=0, out=None):
    """convert() with every rule checked here and the call through ctypes: where _frame.convert sends
    all that is not the plain case (a source to copy, a wrong argument, a name in an unusual case)."""
    source, destination, takes, _ = _conversion(from_format, to_format)
    src_image, keep = _image(src, source, "source", False)
    if out is None:
        out = destination.new_array(src_image.width, src_image.height)
    dst_image, _ = _image(out, destination, "destination", True, src_image.width)

    options = _native.Options(_whole(unused_bits, "unused_bits") if unused_bits else 0, 0, 0,
                              1 if blue_first else 0, _whole(threads, "threads") if threads else 0)
    if pattern is not None:
        options.pattern = _native.find_pattern(str(pattern).encode())
        if not options.pattern:
            raise ValueError(f"pattern '{pattern}' is not GBRG, BGGR, RGGB or GRBG")
    if method != "malvar" or takes & _native.TAKES_METHOD:
        options.method = _METHODS.get(str(method).lower(), 0)
        if not options.method:
            raise ValueError(f"method '{method}' is not 2x2 or malvar")

    result = _native.convert(ctypes.byref(src_image), ctypes.byref(dst_image), ctypes.byref(options))
    del keep  # held through the call: a copy of a source is not freed before
    if result != 0:
        message = _native.last_message().decode()
        raise MemoryError(message) if result == _native.RESULT_RESOURCE else ValueError(message)
    return out


def _whole(value, name):
    if isinstance(value, bool) or not isinstance(value, (int, np.integer)):
        raise TypeError(f"{name} is a whole number, not {type(value).__name__}")
    if not 0 <= value < 1 << 32:
        raise ValueError(f"{name} {value} is not a count from 0")
    return int(value)


def _fast_path(checked):
    """convert(): _frame's C function, which sends everything but the plain case to checked."""
    codes = {}
    for entry in _formats.values():
        for name in (entry.name, entry.name.lower(), entry.name.upper()):
            codes[name] = entry.code
    _frame.setup(codes, {entry.code: entry.new_array for entry in _formats.values()}, checked)
    return _frame.convert


convert = _fast_path(_checked_convert)
