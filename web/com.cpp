#include "web/com.h"

namespace tarnwick {

namespace {

thread_local int t_comDepth = 0;

}  // namespace

ComScope::ComScope() : entered_(EnterSystemCom()) {
    if (entered_) {
        ++t_comDepth;
    }
}

ComScope::~ComScope() {
    if (entered_) {
        --t_comDepth;
        LeaveSystemCom();
    }
}

bool ComHeldOnThisThread() {
    return t_comDepth > 0;
}

}  // namespace tarnwick
