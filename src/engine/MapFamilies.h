#pragma once

#include "engine/EngineMath.h"

#include <cmath>

// The six coefficient-driven map families. c is the block's 121-element array (element 0 is the
// rotation limit, never a coefficient) and b the group offset 0, 19 or 39. Every right-hand side
// uses the point as it was before the map.

// nextZ is the z that IFS 01 last produced: the sine maps copy it into the point.
inline void ApplyLatoocarfian01(const double* c, int b, double& x, double& y, double& z,
                                double nextZ) {
    const double nx =
        std::sin(EngineTwoPi * c[b + 1] * y) + c[b + 3] * std::sin(EngineTwoPi * c[b + 1] * x);
    const double ny =
        std::sin(EngineTwoPi * c[b + 2] * x) + c[b + 4] * std::sin(EngineTwoPi * c[b + 2] * y);
    x = nx;
    y = ny;
    z = nextZ;
}

// Frequencies from the second half of the array, amplitudes shared with Latoocarfian 01.
inline void ApplyLatoocarfian02(const double* c, int b, double& x, double& y, double& z,
                                double nextZ) {
    const double nx = std::sin(EngineTwoPi * c[60 + b + 1] * y) +
                      c[b + 3] * std::sin(EngineTwoPi * c[60 + b + 1] * x);
    const double ny = std::sin(EngineTwoPi * c[60 + b + 2] * x) +
                      c[b + 4] * std::sin(EngineTwoPi * c[60 + b + 2] * y);
    x = nx;
    y = ny;
    z = nextZ;
}

// The only family that sets the z the sine maps copy (nextZ).
inline void ApplyIFS01(const double* c, int b, double& x, double& y, double& z, double& nextZ) {
    const double s1 = std::sin(EnginePi * x * z);
    const double s2 = std::sin(EnginePi * y * z);
    const double nx = c[b + 1] * s1 + c[b + 4] * s2 + c[b + 10];
    const double ny = c[b + 2] * s1 + c[b + 5] * s2 + c[b + 11];
    nextZ = nx + ny;
    x = nx;
    y = ny;
    z = nextZ;
}

inline void ApplyIFS02(const double* c, int b, double& x, double& y) {
    const double nx = c[60 + b + 1] * x + c[60 + b + 2] * y + c[60 + b + 5];
    y = c[60 + b + 3] * x + c[60 + b + 4] * y + c[60 + b + 6];
    x = nx;
}

// The second factors c[3], c[5], c[9], c[11], c[15], c[17] are the same in all three groups.
inline void ApplyAT01(const double* c, int b, double& x, double& y, double& z) {
    const double nx = c[b + 2] * x + c[b + 1] + c[b + 4] * c[3] * y + c[b + 6] * c[5] * z;
    const double ny = c[b + 8] * x + c[b + 7] + c[b + 10] * c[9] * y + c[b + 12] * c[11] * z;
    z = c[b + 14] * x + c[b + 13] + c[b + 16] * c[15] * y + c[b + 18] * c[17] * z;
    x = nx;
    y = ny;
}

inline void ApplyAT02(const double* c, int b, double& x, double& y, double& z) {
    const double nx = c[60 + b + 1] * x + c[60 + b + 2] * y + c[60 + b + 5] + c[60 + b + 7] * z;
    const double ny = c[60 + b + 3] * x + c[60 + b + 4] * y + c[60 + b + 6] + c[60 + b + 8] * z;
    x = nx;
    y = ny;
    z = nx - ny;
}
