"""The C libraries through ctypes: VyrFrame's structures and functions, and VyrUtility's shared buffers.

ctypes calls release the GIL for the time of the call, so conversions and lock waits of several
Python threads run at the same time.
"""
import ctypes
import os

from . import _paths

u32 = ctypes.c_uint32


class Image(ctypes.Structure):
    _fields_ = [("format", u32), ("width", u32), ("height", u32), ("pitch", ctypes.c_ssize_t),
                ("planes", ctypes.c_void_p * 4)]


class Options(ctypes.Structure):
    _fields_ = [("unused_bits", u32), ("pattern", u32), ("method", u32), ("blue_first", u32),
                ("threads", u32)]


class FormatInfo(ctypes.Structure):
    _fields_ = [("format", u32), ("name", ctypes.c_char_p), ("summary", ctypes.c_char_p), ("planes", u32),
                ("pixels_per_unit", u32), ("bytes_per_unit", u32), ("element_bytes", u32),
                ("sample_bits", u32), ("is_signed", u32)]


class ConversionInfo(ctypes.Structure):
    _fields_ = [("source", u32), ("destination", u32), ("name", ctypes.c_char_p), ("options", u32),
                ("max_unused_bits", u32), ("note", ctypes.c_char_p)]


TAKES_UNUSED_BITS, TAKES_PATTERN, TAKES_METHOD, TAKES_BLUE_FIRST = 1, 2, 4, 8
METHOD_2X2, METHOD_MALVAR = 1, 2
RESULT_RESOURCE = -13


def _library_path():
    path = _paths.FRAME_LIBRARY
    if not os.path.isabs(path):
        path = os.path.join(os.path.dirname(os.path.abspath(__file__)), path)
    return os.path.normpath(path)


library_path = _library_path()
frame = ctypes.CDLL(library_path)
# Loaded with VyrFrame, which links it: found by its soname among the libraries already loaded.
utility = ctypes.CDLL("libVyrUtility.so.1")


def _declare(library, name, result, *arguments):
    function = getattr(library, name)
    function.restype = result
    function.argtypes = arguments
    return function


convert = _declare(frame, "VyrFrameConvert", ctypes.c_int32, ctypes.POINTER(Image), ctypes.POINTER(Image),
                   ctypes.POINTER(Options))
last_message = _declare(frame, "VyrFrameLastMessage", ctypes.c_char_p)
format_count = _declare(frame, "VyrFrameFormatCount", u32)
format_at = _declare(frame, "VyrFrameFormatAt", ctypes.POINTER(FormatInfo), u32)
conversion_count = _declare(frame, "VyrFrameConversionCount", u32)
conversion_at = _declare(frame, "VyrFrameConversionAt", ctypes.POINTER(ConversionInfo), u32)
line_bytes = _declare(frame, "VyrFrameLineBytes", ctypes.c_size_t, u32, u32)
find_pattern = _declare(frame, "VyrFrameFindPattern", u32, ctypes.c_char_p)
library_version = _declare(frame, "VyrFrameVersion", ctypes.c_char_p)

alloc_shared = _declare(utility, "VyrUtilAllocSharedBuffer", u32, ctypes.c_uint64, ctypes.c_char_p,
                        ctypes.POINTER(ctypes.c_void_p))
has_created_shared = _declare(utility, "VyrUtilHasCreatedSharedBuffer", u32, ctypes.c_void_p)
free_shared = _declare(utility, "VyrUtilFreeSharedBuffer", u32, ctypes.c_void_p)
lock_shared = _declare(utility, "VyrUtilLockSharedBuffer", u32, ctypes.c_void_p, u32)
unlock_shared = _declare(utility, "VyrUtilUnlockSharedBuffer", u32, ctypes.c_void_p)
map_shared = _declare(utility, "VyrUtilMapSharedBuffer", ctypes.c_void_p, ctypes.c_void_p, ctypes.c_uint64,
                      ctypes.c_uint64, ctypes.POINTER(ctypes.c_void_p))
unmap_shared = _declare(utility, "VyrUtilUnmapSharedBuffer", u32, ctypes.c_void_p)
