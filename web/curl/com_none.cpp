// No COM on this system: a scope is only the per-thread count that ComScope keeps.
#include "web/com.h"

namespace tarnwick {

bool EnterSystemCom() {
    return true;
}

void LeaveSystemCom() {}

}  // namespace tarnwick
