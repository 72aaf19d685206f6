#include "app/render/ProcessGroup.h"

#include <cstdlib>

void TSingleProcess::Abort(int exitCode) {
    std::exit(exitCode);
}
