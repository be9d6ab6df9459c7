"""How the talvex under test is started and how its output is read back as text.

TALVEX_BINARY names the binary. A Linux build runs as it is and writes
UTF-8. A name ending in ".exe" is the Windows build: it runs under Wine
(wine_exec.sh, in the prefix TALVEX_WINEPREFIX names) and writes as a
Windows console program does, by the kind of stream it is given:

  TALVEX_WINE_STREAMS=file  standard output and error are disk files:
                            UTF-16LE without a byte-order mark, "\\r\\n"
  TALVEX_WINE_STREAMS=pipe  both are pipes: the OEM code page (437 under
                            Wine's default locale), "\\r\\n"

Both are turned back into the text the Linux build writes (every "\\r\\n"
becomes "\\n"), so that one set of expected outputs serves both builds. A
bare "\\n", a byte-order mark or a stray byte fails the run instead: those
are faults of the writer, not differences to smooth over. The tests run
talvex through labtest.run_talvex, which uses these.

Standard library only.
"""

import os

HERE = os.path.dirname(os.path.abspath(__file__))
WINE_EXEC = os.path.join(HERE, "wine_exec.sh")
OEM_CODE_PAGE = "cp437"


def binary():
    explicit = os.environ.get("TALVEX_BINARY")
    if explicit:
        return explicit
    return os.path.join(os.path.dirname(os.path.dirname(HERE)), "build", "src",
                        "frontend", "talvex")


def is_windows(path=None):
    """True when the binary under test is the Windows build."""
    return (path or binary()).lower().endswith(".exe")


def streams():
    mode = os.environ.get("TALVEX_WINE_STREAMS", "file")
    if mode not in ("file", "pipe"):
        raise ValueError(f"TALVEX_WINE_STREAMS is {mode!r}, not file or pipe")
    return mode


def command(args, path=None):
    """The command line that runs the binary with these arguments."""
    path = path or binary()
    if is_windows(path):
        return [WINE_EXEC, path] + list(args)
    return [path] + list(args)


def windows_text(raw, mode):
    """A Windows build's stream bytes as the text the Linux build writes."""
    if mode == "file":
        if len(raw) % 2:
            raise AssertionError(f"odd length UTF-16 output: {raw[-40:]!r}")
        if raw.startswith(b"\xff\xfe"):
            raise AssertionError("UTF-16 output starts with a byte-order mark")
        text = raw.decode("utf-16-le")
    else:
        text = raw.decode(OEM_CODE_PAGE)
    bare = text.replace("\r\n", "").find("\n")
    if bare >= 0:
        raise AssertionError(f"line end without \\r in {mode} output: {text!r}")
    return text.replace("\r\n", "\n")
