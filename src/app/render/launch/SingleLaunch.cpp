#include "app/render/ProcessGroup.h"

std::unique_ptr<TProcessGroup> JoinProcessGroup(int&, char**&) {
    return std::make_unique<TSingleProcess>();
}
