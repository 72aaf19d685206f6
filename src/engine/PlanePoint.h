#pragma once

// A point of the plane.
struct TPlanePoint {
    double X = 0.0;
    double Y = 0.0;
};
