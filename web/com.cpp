#include "web/com.h"

namespace tarnwick {

namespace {

thread_local int comDepth = 0;

}  // namespace

long CoInitialize() {
    return comDepth++ == 0 ? 0 : 1;
}

void CoUninitialize() {
    if (comDepth > 0) {
        --comDepth;
    }
}

int ComInitDepth() {
    return comDepth;
}

}  // namespace tarnwick
