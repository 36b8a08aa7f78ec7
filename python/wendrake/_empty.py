"""Why a log that is not empty yielded no report item: a compressed file,
UTF-16 or binary data, or lines that end in CR only each look like an empty
log otherwise. The same reasons, in the same words, as the command line
tool gives (a test holds the two together)."""

_COMPRESSED = (
    (b"\x1f\x8b", "gzip"),
    (b"BZh", "bzip2"),
    (b"\xfd7zXZ\x00", "xz"),
    (b"\x28\xb5\x2f\xfd", "zstd"),
    (b"PK\x03\x04", "zip"),
    (b"7z\xbc\xaf\x27\x1c", "7-Zip"),
)

_BLOCK = 1 << 20


def why_no_items(path, lines=None):
    """The reason, or None for an empty file or one that cannot be read.
    `lines` is the number of lines the decoder read; None counts them here
    (a last line without a newline counts too)."""
    size = newlines = returns = nuls = 0
    head = last = b""
    try:
        with open(path, "rb") as f:
            while True:
                block = f.read(_BLOCK)
                if not block:
                    break
                if not head:
                    head = block[:16]
                size += len(block)
                last = block[-1:]
                newlines += block.count(b"\n")
                returns += block.count(b"\r")
                nuls += block.count(b"\x00")
    except OSError:
        return None
    if size == 0:
        return None
    for magic, name in _COMPRESSED:
        if head.startswith(magic):
            return "it is %s compressed; decompress it first" % name
    if nuls * 10 >= size:
        return ("%d%% of its bytes are NUL: UTF-16 text or binary data, not a log in ASCII or UTF-8"
                % (nuls * 100 // size))
    if newlines == 0:
        if returns > 0:
            return "no newline in %d bytes, but %d carriage returns: its lines end in CR only" % (size, returns)
        return "no newline in %d bytes" % size
    if lines is None:
        lines = newlines + (last != b"\n")
    return "none of its %d lines is a record the decoder knows" % lines
