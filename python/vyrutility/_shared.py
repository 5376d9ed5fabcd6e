"""Named buffers shared between processes, with their named lock, as numpy arrays."""
import ctypes
import math
import os
import threading
import warnings

import numpy as np

from . import _native

_FOREVER = 0xFFFFFFFF
# The holder of a lock, written beside the buffer under a name of its own: (process, thread), or
# zeros while no vyrutility thread holds it. A holder that ended without unlocking leaves it set.
_HOLDER_SUFFIX = ".vyrutility-holder"
_HOLDER_BYTES = 16


class AbandonedLockWarning(RuntimeWarning):
    """The lock was taken from a holder that ended without unlocking: the buffer may be half written."""


class _Mapping:
    """A mapped view; unmapped when the buffer object and the last array over it are gone."""

    def __init__(self, buffer, size, name):
        view = ctypes.c_void_p()
        self.address = _native.map_shared(buffer, 0, size, ctypes.byref(view))
        if not self.address:
            raise OSError(f"cannot map the shared buffer '{name}' (the reason is in the VyrLog output)")
        self._view = view

    def __del__(self):
        _native.unmap_shared(self._view)


class _Named:
    """A buffer object of the library and its whole mapping."""

    def __init__(self, name, size):
        self.handle = ctypes.c_void_p()
        if not _native.alloc_shared(size, name.encode(), ctypes.byref(self.handle)):
            raise OSError(f"cannot allocate the shared buffer '{name}' of {size} bytes "
                          "(the reason is in the VyrLog output)")
        self.created = bool(_native.has_created_shared(self.handle))
        try:
            self.mapping = _Mapping(self.handle, size, name)
        except OSError:
            self.free()
            raise

    def free(self):
        if self.handle:
            _native.free_shared(self.handle)
            self.handle = ctypes.c_void_p()


class LockState:
    """What taking the lock found: abandoned is True when the last holder ended without unlocking."""

    def __init__(self, abandoned):
        self.abandoned = abandoned


class _Lock:
    def __init__(self, owner, timeout_ms):
        self._owner = owner
        self._timeout = _FOREVER if timeout_ms is None else int(timeout_ms)
        if not 0 <= self._timeout <= _FOREVER:
            raise ValueError(f"timeout_ms {timeout_ms} is not 0 to {_FOREVER} (or None: no limit)")

    def __enter__(self):
        return self._owner._take(self._timeout)

    def __exit__(self, *exc):
        self._owner._release()
        return False


class SharedBuffer:
    """size bytes of memory shared under a name by every process that allocates or opens it, with a
    lock that they take in turn.

        with vyrutility.SharedBuffer("Camera1.Frame", 1920 * 1080) as shared:
            frame = shared.array(np.uint8, (1080, 1920))
            with shared.lock(100) as lock:     # TimeoutError after 100 ms
                if lock.abandoned: ...          # its last holder ended holding it
                frame[:] = image

    The first process to allocate the name creates the memory, zeroed (created is True); the others
    find it. The lock belongs to the thread that takes it and may be taken again by it. An abandoned
    lock is also reported as an AbandonedLockWarning; it is noticed where its holder was a
    vyrutility thread, which records itself beside the buffer while it holds the lock.
    """

    def __init__(self, name, size):
        if not isinstance(name, str) or not name:
            raise ValueError("a shared buffer needs a name")
        if not isinstance(size, int) or size <= 0:
            raise ValueError(f"size {size!r} is not a number of bytes above 0")
        self.name, self.size = name, size
        self._buffer = _Named(name, size)
        try:
            self._holder = _Named(name + _HOLDER_SUFFIX, _HOLDER_BYTES)
        except OSError:
            self._buffer.free()
            raise
        self._holder_record = np.frombuffer(
            (ctypes.c_int64 * 2).from_address(self._holder.mapping.address), np.int64)
        self._depth = threading.local()

    @property
    def created(self):
        """True when this object's allocation created the memory, so this process initialises it."""
        return self._buffer.created

    def array(self, dtype, shape, offset=0):
        """A numpy view of the shared bytes from offset; it stays valid after close()."""
        dtype = np.dtype(dtype)
        shape = (shape,) if isinstance(shape, int) else tuple(shape)
        count = math.prod(shape)
        if offset < 0 or offset + count * dtype.itemsize > self.size:
            raise ValueError(f"{count} items of {dtype} from byte {offset} do not fit {self.size} bytes")
        raw = (ctypes.c_uint8 * (count * dtype.itemsize)).from_address(self._buffer.mapping.address + offset)
        raw.mapping = self._buffer.mapping  # the view keeps the memory mapped
        return np.frombuffer(raw, dtype, count).reshape(shape)

    def lock(self, timeout_ms=None):
        """A context manager holding the lock; TimeoutError when it is not had within timeout_ms
        (None: no limit). Entering it gives a LockState."""
        self._check_open()
        return _Lock(self, timeout_ms)

    def close(self):
        """Closes the handles; arrays made by array() stay usable until they are gone."""
        self._buffer.free()
        self._holder.free()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()
        return False

    def _check_open(self):
        if not self._buffer.handle:
            raise ValueError(f"the shared buffer '{self.name}' is closed")

    def _take(self, timeout):
        self._check_open()
        if not _native.lock_shared(self._buffer.handle, timeout):
            raise TimeoutError(f"the lock of '{self.name}' was not had within {timeout} ms")
        depth = getattr(self._depth, "value", 0)
        self._depth.value = depth + 1
        if depth:
            return LockState(False)
        abandoned = bool(self._holder_record.any())
        self._holder_record[:] = (os.getpid(), threading.get_ident())
        if abandoned:
            warnings.warn(f"the lock of '{self.name}' was abandoned by its holder: the buffer may be half "
                          "written", AbandonedLockWarning, stacklevel=3)
        return LockState(abandoned)

    def _release(self):
        self._depth.value -= 1
        if self._depth.value == 0:
            self._holder_record[:] = 0
        _native.unlock_shared(self._buffer.handle)
