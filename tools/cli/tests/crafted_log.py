"""A small drive log whose log text tries to break the files made from it.

Its event names hold markup that would run script if a page inserted it as
HTML, a JSON string end, a script element end, an HTML comment start, the
line separators JavaScript once treated as line ends, an XML CDATA end,
quotes, ampersands and bytes that are not UTF-8. Used by the format and
browser tests.
"""

CRAFTED_NAMES = [
    b"<script>window.injected = 1</script>",
    b"</script><script>window.injected = 2</script><!--",
    b"<img src=x onerror=\"window.injected = 3\">",
    b"\"quoted\" 'single' & &amp; ]]> end",
    b"\\\"}]}</script>",
    "line\u2028separator\u2029paragraph".encode("utf-8"),
    b"bad bytes \xff\xfe\xc0 here",
]


def crafted_log():
    lines = [
        b"RegReport\tGPS\tSats\tLon\tLat\tAlt",
        b"RegReport\tDM\tRxagc\tTxpower\t<b>Odd</b>&\"",
        b"RegReport\tEVT\tEvent\tEventName\tPayload",
        b"DAY\t2012\t3\t4",
        b"HOUR\t10",
        b"MIN\t0",
    ]
    for i, name in enumerate(CRAFTED_NAMES):
        lines += [
            b"SEC\t%d\t0" % (i * 2),
            b"GPS\t9\t%.6f\t%.6f\t20" % (120.1 + i * 0.0005, 30.2 + i * 0.0003),
            b"DM\t%d\t%d\t<script>x</script>" % (-70 - i, -10 + i),
            b"EVT\t%04X\t" % (0x100 + i) + name + b"\t]]><![CDATA[",
        ]
    return b"\n".join(lines) + b"\n"
