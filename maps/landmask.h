// The world land mask of the saver's resources, looked up by latitude and longitude.
#pragma once

// Whether the place lies on land by the built-in 800 x 400 mask (0.45 degree cells; lakes are
// water). lat in degrees -90..90 north positive, lon in degrees east positive, any value (taken
// modulo 360). Thread-safe: the mask is constant data.
bool isLand(double lat, double lon);
