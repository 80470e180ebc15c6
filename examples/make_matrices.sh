#!/usr/bin/env bash
# Regenerates the example distance matrices between the 40 sites of
# sites.txt: distances.txt (one observed 40 x 40 matrix) and resampled.txt
# (10 resampled 40 x 40 matrices, one blank line between them).
#
# The sites fall on two sides of a barrier, the line
# latitude = 46 + 0.3 (longitude - 8). A distance is 0.1 x the distance
# between the sites in degrees, plus 0.8 when they lie on different sides,
# plus a little noise; every resampled matrix scales the two parts and draws
# its own noise. Matrices are symmetric with a zero diagonal, 3 decimals.
#
# The random numbers come from a fixed linear congruential generator written
# out below, so every awk gives the same files.
set -euo pipefail
cd "$(dirname "$0")"

generate() { # replicates (0: the observed matrix), seed
    awk -v replicates="$1" -v seed="$2" '
    function uniform() {            # Park and Miller, exact in doubles
        seed = (seed * 16807) % 2147483647
        return seed / 2147483647
    }
    function side(k) { return lat[k] > 46 + 0.3 * (lon[k] - 8) }
    function matrix(geoScale, barrier, noise,    i, j, dx, dy) {
        for (i = 1; i <= n; i++)
            for (j = 1; j < i; j++) {
                dx = lon[i] - lon[j]; dy = lat[i] - lat[j]
                d[i, j] = 0.1 * geoScale * sqrt(dx * dx + dy * dy) \
                          + (side(i) != side(j) ? barrier : 0) + noise * uniform()
                d[j, i] = d[i, j]
            }
        for (i = 1; i <= n; i++) {
            line = ""
            for (j = 1; j <= n; j++)
                line = line (j > 1 ? " " : "") (i == j ? "0.000" : sprintf("%.3f", d[i, j]))
            print line
        }
    }
    NR > 1 && NF >= 2 { n++; lon[n] = $1; lat[n] = $2 }
    END {
        if (replicates == 0) {
            matrix(1, 0.8, 0.04)
            exit
        }
        for (r = 1; r <= replicates; r++) {
            if (r > 1) print ""
            geoScale = 0.9 + 0.2 * uniform()
            barrier = 0.8 * (0.75 + 0.5 * uniform())
            matrix(geoScale, barrier, 0.08)
        }
    }' sites.txt
}

generate 0 20240311 > distances.txt
generate 10 777 > resampled.txt
