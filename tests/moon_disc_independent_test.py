#!/usr/bin/python3
# The crescent's tilt from the vertical and its lit fraction against an independent ephemeris:
# PyEphem (Debian's python3-ephem) gives the topocentric airless places of the Sun and the Moon;
# from its altitudes and azimuths the direction of the great circle toward the Sun at the Moon,
# measured from the upward vertical toward the observer's left, is computed directly and
# compared with the almanac's chi - q (Meeus, Astronomical Algorithms, 2nd ed., 1998, eqs. 48.5
# and 14.1); the lit fraction against Meeus's eqs. 48.3 and 48.1 from PyEphem's topocentric
# elongation and distances (its own moon_phase is geocentric). Usage: moon_disc_independent_test.py PROBE; exit 77 without PyEphem.
import math
import subprocess
import sys

try:
    import ephem
except ImportError:
    print("python3-ephem is not installed")
    sys.exit(77)

probe = sys.argv[1]
# Evenings near new moon and a few other phases: place, date, UT hours.
cases = [(-6.2, 106.85, (2024, 3, 11), 11.52), (21.42, 39.83, (2024, 3, 11), 15.6),
         (51.5, -0.12, (2024, 3, 12), 18.6), (-33.92, 18.42, (2023, 7, 19), 17.2),
         (64.1, -21.9, (2024, 12, 2), 16.0), (0.0, -78.5, (2025, 1, 1), 23.8),
         (40.0, -74.0, (2024, 4, 15), 23.0), (-45.0, 170.0, (2024, 6, 20), 6.0)]
worst_tilt = worst_fraction = 0.0
failed = 0
for lat, lon, (y, m, d), hours in cases:
    out = subprocess.run([probe, str(lat), str(lon), str(y), str(m), str(d), str(hours)],
                         capture_output=True, text=True, check=True).stdout.split()
    chi, q, tilt, fraction, alt, az = map(float, out)
    o = ephem.Observer()
    o.lat, o.lon, o.elevation, o.pressure = str(lat), str(lon), 0, 0
    h = int(hours); mi = (hours - h) * 60
    o.date = "%04d/%02d/%02d %02d:%09.6f" % (y, m, d, h, mi)
    sun, moon = ephem.Sun(o), ephem.Moon(o)

    def vec(a, z):
        return [math.cos(a) * math.cos(z), math.cos(a) * math.sin(z), math.sin(a)]

    def dot(a, b):
        return sum(x * w for x, w in zip(a, b))

    mv, sv = vec(moon.alt, moon.az), vec(sun.alt, sun.az)
    up = [-mv[2] * mv[0], -mv[2] * mv[1], 1 - mv[2] * mv[2]]
    ms = dot(sv, mv)
    toward = [sv[i] - ms * mv[i] for i in range(3)]
    right = [-math.sin(moon.az), math.cos(moon.az), 0]
    direct = math.degrees(math.atan2(-dot(toward, right), dot(toward, up) / math.sqrt(dot(up, up))))
    dt = (tilt - direct + 180) % 360 - 180
    # The phase angle i: tan i = R sin E / (D - R cos E), R and D the Sun's and the Moon's
    # distances (PyEphem's are geocentric; the observer's offset moves i by far less than the
    # tolerance), E their topocentric elongation; k = (1 + cos i) / 2.
    e = float(ephem.separation(moon, sun))
    r = sun.earth_distance * ephem.meters_per_au / 1000
    dist = moon.earth_distance * ephem.meters_per_au / 1000
    i = math.atan2(r * math.sin(e), dist - r * math.cos(e))
    expected_fraction = (1 + math.cos(i)) / 2
    df = fraction - expected_fraction
    worst_tilt, worst_fraction = max(worst_tilt, abs(dt)), max(worst_fraction, abs(df))
    name = "%g %g %04d-%02d-%02d %.2fh" % (lat, lon, y, m, d, hours)
    if abs(dt) > 0.3 or abs(df) > 0.002 or abs(alt - math.degrees(moon.alt)) > 0.05:
        print("FAIL %s: tilt %.3f vs %.3f, fraction %.5f vs %.5f, altitude %.3f vs %.3f"
              % (name, tilt, direct % 360, fraction, expected_fraction, alt, math.degrees(moon.alt)))
        failed += 1
print("%d cases; worst tilt difference %.4f deg, worst lit fraction difference %.5f"
      % (len(cases), worst_tilt, worst_fraction))
sys.exit(1 if failed else 0)
