#!/usr/bin/env python3
"""Writes the plan-file fixtures in fixtures/ and plan_fixtures.h, the
waypoints each one must give. The expected doubles come from Python's own
float arithmetic on the texts written into the files (float() rounds
correctly), in the reader's order: ((degrees + minutes / 60) + seconds / 3600)
times the sign. Run it again only to change the fixtures; the files are
committed byte for byte."""
import os

HERE = os.path.dirname(os.path.abspath(__file__))
FIXTURES = os.path.join(HERE, "fixtures")

UTF8_DEGREE = b"\xc2\xb0"
ANSI_DEGREE = b"\xb0"


def dms(hemisphere, degrees, minutes, seconds, degree_mark):
    """(text, value) of one coordinate written as degrees, minutes, seconds."""
    text = b"%s%s%s %s' %s\"" % (hemisphere.encode(), degrees.encode(), degree_mark, minutes.encode(), seconds.encode())
    value = (float(degrees) + float(minutes) / 60.0) + float(seconds) / 3600.0
    if hemisphere in ("S", "W"):
        value = value * -1.0
    return text, value


def dm(hemisphere, degrees, minutes, degree_mark):
    """(text, value) of one coordinate written as degrees and decimal minutes."""
    text = b"%s%s%s %s'" % (hemisphere.encode(), degrees.encode(), degree_mark, minutes.encode())
    value = (float(degrees) + float(minutes) / 60.0) + 0.0 / 3600.0
    if hemisphere in ("S", "W"):
        value = value * -1.0
    return text, value


class Waypoint:
    def __init__(self, ident, kind, lat, lon, altitude="+000000.00", region=None, airway=None, stored=None):
        self.ident = ident if isinstance(ident, bytes) else ident.encode()
        self.kind = kind
        self.lat = lat
        self.lon = lon
        self.altitude = altitude
        self.region = region
        self.airway = airway
        # The identifier the reader stores (the first 7 characters unless told).
        self.stored = stored if stored is not None else self.ident[:7]


def fsx_document(title, departure, destination, waypoints, nl, indent, bom=False, header_lla=True, icao=True):
    ind = lambda n: indent * n
    out = []
    add = lambda level, text: out.append(ind(level) + text + nl)
    if bom:
        out.append(b"\xef\xbb\xbf")
    out.append(b'<?xml version="1.0" encoding="UTF-8"?>' + nl)
    out.append(nl)
    add(0, b'<SimBase.Document Type="AceXML" version="1,0">')
    add(1, b"<Descr>AceXML Document</Descr>")
    add(1, b"<FlightPlan.FlightPlan>")
    add(2, b"<Title>" + title + b"</Title>")
    add(2, b"<FPType>IFR</FPType>")
    add(2, b"<RouteType>HighAlt</RouteType>")
    add(2, b"<CruisingAlt>35000</CruisingAlt>")
    add(2, b"<DepartureID>" + departure.ident + b"</DepartureID>")
    if header_lla:
        add(2, b"<DepartureLLA>" + departure.lat[0] + b"," + departure.lon[0] + b"," + departure.altitude.encode() + b"</DepartureLLA>")
    add(2, b"<DestinationID>" + destination.ident + b"</DestinationID>")
    if header_lla:
        add(2, b"<DestinationLLA>" + destination.lat[0] + b"," + destination.lon[0] + b"," + destination.altitude.encode() + b"</DestinationLLA>")
    add(2, b"<Descr>" + departure.ident + b", " + destination.ident + b"</Descr>")
    add(2, b"<DeparturePosition>PARKING 1</DeparturePosition>")
    add(2, b"<DepartureName>" + title.split(b" to ")[0] + b"</DepartureName>")
    add(2, b"<DestinationName>" + title.split(b" to ")[-1] + b"</DestinationName>")
    add(2, b"<AppVersion>")
    add(3, b"<AppVersionMajor>10</AppVersionMajor>")
    add(3, b"<AppVersionBuild>61472</AppVersionBuild>")
    add(2, b"</AppVersion>")
    for w in waypoints:
        add(2, b'<ATCWaypoint id="' + w.ident + b'">')
        add(3, b"<ATCWaypointType>" + w.kind.encode() + b"</ATCWaypointType>")
        add(3, b"<WorldPosition>" + w.lat[0] + b"," + w.lon[0] + b"," + w.altitude.encode() + b"</WorldPosition>")
        if w.airway:
            add(3, b"<ATCAirway>" + w.airway.encode() + b"</ATCAirway>")
        if icao:
            add(3, b"<ICAO>")
            if w.region:
                add(4, b"<ICAORegion>" + w.region.encode() + b"</ICAORegion>")
            add(4, b"<ICAOIdent>" + w.ident + b"</ICAOIdent>")
            add(3, b"</ICAO>")
        add(2, b"</ATCWaypoint>")
    add(1, b"</FlightPlan.FlightPlan>")
    out.append(b"</SimBase.Document>" + nl)
    return b"".join(out)


def seattle_portland():
    m = UTF8_DEGREE
    return [
        Waypoint("KSEA", "Airport", dms("N", "47", "26", "56.00", m), dms("W", "122", "18", "33.00", m), "+000433.00"),
        Waypoint("SEA", "VOR", dms("N", "47", "26", "6.08", m), dms("W", "122", "18", "35.95", m), region="K1"),
        Waypoint("OLM", "VOR", dms("N", "46", "58", "18.70", m), dms("W", "122", "54", "8.12", m), region="K1", airway="V23"),
        Waypoint("TOLDO", "Intersection", dms("N", "46", "30", "0.89", m), dms("W", "122", "47", "12.34", m), region="K1", airway="V23"),
        Waypoint("BTG", "VOR", dms("N", "45", "44", "52.17", m), dms("W", "122", "35", "28.47", m), region="K1", airway="V23"),
        Waypoint("KPDX", "Airport", dms("N", "45", "35", "19.00", m), dms("W", "122", "35", "49.00", m), "+000030.00"),
    ]


def santiago_buenos_aires():
    m = ANSI_DEGREE
    return [
        Waypoint("SCEL", "Airport", dms("S", "33", "23", "34.20", m), dms("W", "70", "47", "8.90", m), "+001555.00"),
        Waypoint("AMB", "VOR", dms("S", "33", "25", "46.91", m), dms("W", "70", "40", "56.06", m), region="SC"),
        Waypoint("UMKAL", "Intersection", dms("S", "33", "1", "12.00", m), dms("W", "69", "50", "0.00", m), region="SA", airway="UW12"),
        Waypoint("DOZ", "VOR", dms("S", "32", "50", "0.50", m), dms("W", "68", "47", "56.10", m), region="SA", airway="UW12"),
        Waypoint("ROSEL", "Intersection", dms("S", "33", "45", "4.40", m), dms("W", "62", "11", "59.99", m), region="SA"),
        Waypoint("SAEZ", "Airport", dms("S", "34", "49", "20.00", m), dms("W", "58", "32", "8.00", m), "+000067.00"),
    ]


def sao_paulo_decimal_minutes():
    m = UTF8_DEGREE
    return [
        Waypoint("SBSP", "Airport", dm("S", "23", "37.58", m), dm("W", "46", "39.38", m), "+002631.00"),
        Waypoint("SBSJ", "Airport", dm("S", "23", "13.72", m), dm("W", "45", "51.70", m), "+002120.00"),
        Waypoint("SDTB", "Airport", dm("S", "22", "47.50", m), dm("W", "45", "12.29", m), "+001761.00"),
        Waypoint("SBRJ", "Airport", dm("S", "22", "54.63", m), dm("W", "43", "9.75", m), "+000011.00"),
    ]


def long_route(n, seed):
    """n waypoints along an Atlantic crossing, with FSX's unpadded minutes and
    seconds and its variety of types."""
    m = UTF8_DEGREE
    kinds = ["Intersection", "VOR", "NDB", "Intersection", "User"]
    out = []
    x = seed
    for i in range(n):
        x = (x * 1103515245 + 12345) % (1 << 31)
        lat_d = 40 + (i * 7) % 20
        lon_d = 5 + (i * 13) % 70
        lat_m = x % 60
        lon_m = (x // 60) % 60
        lat_s = "%d.%02d" % ((x // 3600) % 60, (x // 7) % 100)
        lon_s = "%d.%02d" % ((x // 11) % 60, (x // 13) % 100)
        hemi_lon = "W" if i % 3 else "E"
        ident = "W%02d%s" % (i, "ABCDEFGHJK"[x % 10]) if i % 4 else "P%dX" % i
        out.append(Waypoint(ident, kinds[i % len(kinds)],
                            dms("N", str(lat_d), str(lat_m), lat_s, m),
                            dms(hemi_lon, "%d" % lon_d if i % 2 else "%03d" % lon_d, str(lon_m), lon_s, m),
                            region="EG" if i % 2 else "LF", airway="UN%d" % (i % 900) if i % 5 else None))
    return out


def odd_identifiers():
    m = UTF8_DEGREE
    p = lambda a, b: (dms("N", "51", str(a), "%d.25" % b, m), dms("E", "4", str(b), "%d.50" % a, m))
    rows = [
        (b"TANGO", None),
        (b"LONGNAME1", b"LONGNAM"),
        (b"MY WPT", None),
        (b"N47/W122", b"N47/W12"),
        (b"A&quot;B", b"A&quot;"),
        (b"R&amp;D", None),
        (b"", None),
        (b"ABCDEFG", None),
        (b"\xc3\x85LESUND", b"\xc3\x85LESUN"),
        (b"&lt;&gt;", b"&lt;&gt"),
    ]
    out = []
    for i, (ident, stored) in enumerate(rows):
        lat, lon = p(10 + i, 20 + i)
        out.append(Waypoint(ident, "User", lat, lon, stored=stored))
    return out


def odd_document(waypoints, nl):
    """A hand-edited plan: ids as written by other tools, tabs, a trailing
    blank after one trigger line, single-quoted and spaced attributes."""
    out = [b'<?xml version="1.0" encoding="UTF-8"?>' + nl, b'<SimBase.Document Type="AceXML" version="1,0">' + nl,
           b"\t<FlightPlan.FlightPlan>" + nl, b"\t\t<Title>Odd identifiers</Title>" + nl]
    for w in waypoints:
        out.append(b'\t\t<ATCWaypoint id="' + w.ident + b'">' + nl)
        out.append(b"\t\t\t<ATCWaypointType>" + w.kind.encode() + b"</ATCWaypointType>" + nl)
        out.append(b"\t\t\t<WorldPosition>" + w.lat[0] + b"," + w.lon[0] + b"," + w.altitude.encode() + b"</WorldPosition>" + nl)
        out.append(b"\t\t</ATCWaypoint>" + nl)
    extra = [
        # One blank after the ">": it becomes part of the identifier.
        (b'\t\t<ATCWaypoint id="ABC"> ', b'ABC"'),
        (b"\t\t<ATCWaypoint id='SGL'>", b"SGL"),
        (b'\t\t<ATCWaypoint id = "SPACED">', b'"SPACED'),
    ]
    for i, (trigger, stored) in enumerate(extra):
        lat, lon = dms("N", "52", str(i), "1.5", UTF8_DEGREE), dms("E", "5", str(i), "2.5", UTF8_DEGREE)
        waypoints.append(Waypoint(b"", "User", lat, lon, stored=stored))
        out.append(trigger + nl)
        out.append(b"\t\t\t<ATCWaypointType>User</ATCWaypointType>" + nl)
        out.append(b"\t\t\t<WorldPosition>" + lat[0] + b"," + lon[0] + b",+000000.00</WorldPosition>" + nl)
        out.append(b"\t\t</ATCWaypoint>" + nl)
    out.append(b"\t</FlightPlan.FlightPlan>" + nl + b"</SimBase.Document>" + nl)
    return b"".join(out)


def shown(b):
    return b.replace(UTF8_DEGREE, b"deg").replace(ANSI_DEGREE, b"deg").decode("ascii")


def c_string(b):
    s = '"'
    for c in b:
        if c in (0x22, 0x5c):
            s += "\\" + chr(c)
        elif 0x20 <= c < 0x7f and c != 0x3f:
            s += chr(c)
        else:
            s += "\\%03o" % c
    return s + '"'


def main():
    fixtures = []

    def add(name, data, waypoints, count):
        with open(os.path.join(FIXTURES, name), "wb") as f:
            f.write(data)
        fixtures.append((name, waypoints[:count], count, len(data)))

    w = seattle_portland()
    add("fsx_ksea_kpdx.pln",
        fsx_document(b"KSEA to KPDX", w[0], w[-1], w, b"\r\n", b"    ", bom=True), w, len(w))
    w = santiago_buenos_aires()
    add("scel_saez_ansi.pln", fsx_document(b"SCEL to SAEZ", w[0], w[-1], w, b"\n", b"\t"), w, len(w))
    w = sao_paulo_decimal_minutes()
    add("sbsp_sbrj_decimal_minutes.pln", fsx_document(b"SBSP to SBRJ", w[0], w[-1], w, b"\r\n", b"  "), w, len(w))
    w = long_route(50, 7)
    add("route_50.pln", fsx_document(b"EGLL to LFPG", w[0], w[-1], w, b"\r\n", b"    ", icao=False), w, 50)
    w = long_route(64, 99)
    add("route_64.pln", fsx_document(b"EINN to CYQX", w[0], w[-1], w, b"\r\n", b"    ", header_lla=False), w, 50)
    w = odd_identifiers()
    data = odd_document(w, b"\r\n")
    add("odd_identifiers.pln", data, w, len(w))

    h = ["/* The waypoints each plan fixture in fixtures/ must give, bit for bit.",
         " * Written by make_plan_fixtures.py together with the fixtures. */",
         "#ifndef KESTREL_PLAN_FIXTURES_H", "#define KESTREL_PLAN_FIXTURES_H", "",
         "typedef struct FixtureWaypoint {", "    const char *identifier;", "    double latitude;",
         "    double longitude;", "} FixtureWaypoint;", "",
         "typedef struct PlanFixture {", "    const char *file;", "    int count;",
         "    const FixtureWaypoint *waypoints;", "} PlanFixture;", ""]
    names = []
    for name, ws, count, size in fixtures:
        var = "fixture_" + name.split(".")[0]
        names.append((name, var, count))
        h.append("/* %s, %d bytes */" % (name, size))
        h.append("static const FixtureWaypoint %s[] = {" % var)
        for x in ws:
            h.append("    {%s, %r, %r}, /* %s %s */" % (c_string(x.stored), x.lat[1], x.lon[1],
                                                     shown(x.lat[0]), shown(x.lon[0])))
        h.append("};")
        h.append("")
    h.append("static const PlanFixture planFixtures[] = {")
    for name, var, count in names:
        h.append('    {"%s", %d, %s},' % (name, count, var))
    h.append("};")
    h.append("")
    h.append("#endif")
    with open(os.path.join(HERE, "plan_fixtures.h"), "w") as f:
        f.write("\n".join(h) + "\n")


main()
