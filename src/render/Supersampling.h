#pragma once

class TPixelGraphic;

// The picture a supersampled render gives: `target` becomes a 24-bit picture of `source`'s size
// divided by `factor`, each pixel the mean of its factor x factor block of `source` (24 bits),
// channel by channel on the stored 8-bit values, rounded to nearest with halves up:
// (sum + n / 2) / n for n = factor * factor.
void ReduceByBoxAverage(const TPixelGraphic& source, int factor, TPixelGraphic& target);
