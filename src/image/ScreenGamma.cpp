#include "image/ScreenGamma.h"

long double& ScreenGamma() {
    static long double gamma = 1.8L;
    return gamma;
}
