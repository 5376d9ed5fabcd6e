"""vyrutility.SharedBuffer: memory and lock shared by name, across processes."""
import os
import subprocess
import sys
import textwrap

import numpy as np
import pytest

import vyrutility

HEIGHT, WIDTH = 48, 64


def mosaic():
    """The frame the processes pass around: a fixed pattern, so both sides can make it."""
    y, x = np.mgrid[:HEIGHT, :WIDTH]
    return ((x * 7 + y * 13) % 251).astype(np.uint8)


def child(script, *arguments, wait=True):
    """A Python process with the package and this file on its path."""
    command = [sys.executable, "-c", textwrap.dedent(script), *arguments]
    env = dict(os.environ, PYTHONPATH=os.pathsep.join(
        [os.path.dirname(os.path.abspath(__file__)), os.path.dirname(os.path.dirname(vyrutility.__file__))]))
    if not wait:
        return subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True, env=env)
    done = subprocess.run(command, capture_output=True, text=True, timeout=60, check=False, env=env)
    assert done.returncode == 0, done.stderr
    return done


def test_a_frame_written_by_one_process_is_converted_by_another(unique_name):
    name = unique_name()
    with vyrutility.SharedBuffer(name, HEIGHT * WIDTH) as shared:
        assert shared.created
        frame = shared.array(np.uint8, (HEIGHT, WIDTH))
        assert not frame.any()  # created zeroed
        child("""
            import sys, numpy as np, vyrutility
            from test_shared import mosaic, HEIGHT, WIDTH
            with vyrutility.SharedBuffer(sys.argv[1], HEIGHT * WIDTH) as shared:
                assert not shared.created
                with shared.lock(5000) as lock:
                    assert not lock.abandoned
                    shared.array(np.uint8, (HEIGHT, WIDTH))[:] = mosaic()
            """, name)
        with shared.lock(5000):
            rgb = vyrutility.convert(frame, "Bayer8", "RGB8888", pattern="RGGB")
        assert np.array_equal(rgb, vyrutility.convert(mosaic(), "Bayer8", "RGB8888", pattern="RGGB"))


def test_a_lock_whose_holder_ended_is_reported_abandoned(unique_name):
    name = unique_name()
    with vyrutility.SharedBuffer(name, 4096) as shared:
        child("""
            import os, sys, vyrutility
            shared = vyrutility.SharedBuffer(sys.argv[1], 4096)
            shared.lock(5000).__enter__()
            os._exit(0)  # holding the lock
            """, name)
        with pytest.warns(vyrutility.AbandonedLockWarning, match="abandoned"):
            with shared.lock(5000) as lock:
                assert lock.abandoned
        with shared.lock(0) as lock:  # unlocked properly since
            assert not lock.abandoned


def test_a_lock_held_elsewhere_times_out_and_is_had_once_released(unique_name):
    name = unique_name()
    with vyrutility.SharedBuffer(name, 4096) as shared:
        holder = child("""
            import sys, vyrutility
            with vyrutility.SharedBuffer(sys.argv[1], 4096) as shared, shared.lock(5000):
                print("held", flush=True)
                sys.stdin.readline()
            """, name, wait=False)
        try:
            assert holder.stdout.readline() == "held\n"
            with pytest.raises(TimeoutError, match=f"the lock of '{name}' was not had within 50 ms"):
                with shared.lock(50):
                    pass
            holder.stdin.write("\n")
            holder.stdin.flush()
            with shared.lock(5000) as lock:
                assert not lock.abandoned
        finally:
            holder.stdin.close()
            assert holder.wait(60) == 0


def test_the_lock_is_taken_again_by_its_thread(unique_name):
    with vyrutility.SharedBuffer(unique_name(), 64) as shared:
        with shared.lock(0):
            with shared.lock(0) as inner:
                assert not inner.abandoned
        with shared.lock(0) as lock:
            assert not lock.abandoned


def test_views_are_bounded_and_outlive_the_buffer_object(unique_name):
    name = unique_name()
    shared = vyrutility.SharedBuffer(name, 1000)
    second = vyrutility.SharedBuffer(name, 1000)
    assert shared.created and not second.created
    words = shared.array(np.uint16, (10, 50))
    words[:] = np.arange(500, dtype=np.uint16).reshape(10, 50)
    assert np.array_equal(second.array(np.uint16, 500), np.arange(500))  # the same memory
    last_two = np.arange(498, 500, dtype='<u2').view(np.uint8)
    assert np.array_equal(shared.array(np.uint8, 4, offset=996), last_two)
    with pytest.raises(ValueError, match="501 items of uint16 from byte 0 do not fit 1000 bytes"):
        shared.array(np.uint16, 501)
    with pytest.raises(ValueError, match="do not fit"):
        shared.array(np.uint8, 2, offset=999)
    shared.close()
    second.close()
    assert words[9, 49] == 499  # still mapped
    with pytest.raises(ValueError, match=f"the shared buffer '{name}' is closed"):
        shared.lock(0)
    with pytest.raises(ValueError, match="size 0 is not a number of bytes above 0"):
        vyrutility.SharedBuffer(name, 0)
