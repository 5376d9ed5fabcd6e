"""python3 -m vyrutility [--version | --list]"""
import sys

from . import __version__, _native, conversions


def main(arguments):
    if arguments == ["--version"]:
        library = _native.library_version().decode()
        print(f"vyrutility {__version__} (VyrFrame {library}, {_native.library_path})")
        return 0
    if arguments == ["--list"]:
        for c in conversions():
            taken = ", ".join(c.options)
            print(f"{c.name:26} {c.source} -> {c.destination}" + (f", takes {taken}" if taken else "")
                  + (f"; {c.note}" if c.note else ""))
        return 0
    print("usage: python3 -m vyrutility --version | --list", file=sys.stderr)
    return 2


sys.exit(main(sys.argv[1:]))
