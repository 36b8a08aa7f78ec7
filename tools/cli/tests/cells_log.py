"""A small drive log whose network advertises its cells: System Parameters
Messages with base-station positions near the route (one PN used twice, by a
near and a far base station), Neighbor List Messages, and the handset
reporting its serving pilot on HOP lines (active set members only) and on
C1XSMI lines. Messages are written bit by bit from the standard's tables
(System Parameters, Neighbor List), framed as the paging channel logs them.
Used by the map and browser tests."""

import math

# (PN, BASE_ID, latitude, longitude, neighbour PNs)
CELLS = [
    (168, 100, 30.2010, 120.1050, [240, 312]),
    (240, 200, 30.2060, 120.0950, [168]),
    (168, 300, 30.5000, 120.5000, [240]),
]
SID, NID = 4139, 7
ROUTE = [(30.2 + i * 0.0005, 120.1) for i in range(20)]
SWITCH = 10  # fixes before it report PN 168 on HOP lines, from it PN 240 on C1XSMI lines


class Bits:
    def __init__(self):
        self.bits = []

    def put(self, value, width):
        self.bits += [(value >> i) & 1 for i in range(width - 1, -1, -1)]
        return self

    def octets(self):
        padded = self.bits + [0] * (-len(self.bits) % 8)
        return bytes(int("".join(map(str, padded[i:i + 8])), 2) for i in range(0, len(padded), 8))


def paging_line(body):
    """A "CL3" line of a paging channel message: MSG_LENGTH (octets, itself
    included) before the body, under the 12-octet log header."""
    message = bytes([len(body) + 1]) + body
    total = 12 + len(message)
    logged = bytes([total & 0xFF, total >> 8, 0x07, 0x10]) + bytes(8) + message
    return b"CL3\tPCH\t1\t" + logged.hex().upper().encode()


def quarter_seconds(degrees, width):
    return round(degrees * 14400) & ((1 << width) - 1)


def system_parameters(pn, base_id, lat, lon):
    b = Bits().put(1, 8)  # MSG_TYPE
    for width, value in ((9, pn), (6, 1), (15, SID), (16, NID), (12, 1), (3, 1), (3, 1), (1, 0), (1, 0),
                         (16, base_id), (4, 1), (3, 1), (3, 1), (1, 1), (1, 1), (1, 1), (1, 1), (1, 1), (1, 1),
                         (7, 0)):
        b.put(value, width)
    b.put(quarter_seconds(lat, 22), 22).put(quarter_seconds(lon, 23), 23)
    for width, value in ((11, 0), (4, 8), (4, 10), (4, 10), (4, 0), (5, 0), (4, 0), (1, 0), (1, 0), (5, 0),
                         (1, 0), (6, 28), (6, 32), (4, 5), (4, 3), (1, 0)):
        b.put(value, width)
    return paging_line(b.octets())


def neighbor_list(pn, neighbours):
    b = Bits().put(3, 8).put(pn, 9).put(1, 6).put(4, 4)  # MSG_TYPE, PILOT_PN, CONFIG_MSG_SEQ, PILOT_INC
    for neighbour in neighbours:
        b.put(0, 3).put(neighbour, 9)
    return paging_line(b.octets())


def distance(lat1, lon1, lat2, lon2):
    """Great-circle metres on the Earth's mean radius."""
    p1, p2 = math.radians(lat1), math.radians(lat2)
    a = math.sin((p2 - p1) / 2) ** 2 + math.cos(p1) * math.cos(p2) * math.sin(math.radians(lon2 - lon1) / 2) ** 2
    return 2 * 6371008.8 * math.asin(math.sqrt(min(1.0, a)))


def cells_log():
    lines = [
        b"RegReport\tDM\tRxagc\tTxpower",
        b"RegReport\tHOP\tPN\tEc_Io\tWindow\tSetType",
        b"RegReport\tC1XSMI\tBand\tChannel\tPilotCount\tBestPN\tBestEcIo\tSearchWindow",
        b"DAY\t2012\t3\t4",
        b"HOUR\t10",
        b"MIN\t0",
    ]
    for i, (lat, lon) in enumerate(ROUTE):
        lines += [b"SEC\t%d\t0" % i, b"GPS\t%.6f\t%.6f" % (lat, lon), b"DM\t%d\t0" % (-70 - i)]
        if i < 3:
            for pn, base_id, clat, clon, neighbours in CELLS:
                lines += [system_parameters(pn, base_id, clat, clon), neighbor_list(pn, neighbours)]
        if i < SWITCH:
            # A candidate pilot names no serving cell.
            lines += [b"HOP\t168\t-6.5\t60\tActive", b"HOP\t312\t-14.0\t60\tCandidate"]
        else:
            lines.append(b"C1XSMI\t0\t283\t4\t240\t-7.0\t60")
    return b"\n".join(lines) + b"\n"


def advertised(degrees):
    """A position as the message carries it, in whole quarter seconds."""
    return round(degrees * 14400) / 14400


def expected_serving(i):
    """(PN, BASE_ID, metres) of the cell serving fix i: the near cell of the
    reported PN, never the far one that reuses it."""
    pn, base_id = (168, 100) if i < SWITCH else (240, 200)
    cell = next(c for c in CELLS if c[1] == base_id)
    return pn, base_id, distance(*ROUTE[i], advertised(cell[2]), advertised(cell[3]))
