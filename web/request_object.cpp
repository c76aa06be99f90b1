#include "web/request_object.h"

#include <utility>

#include "text/ascii.h"
#include "web/com.h"
#include "web/web_access.h"

namespace tarnwick {

bool ObjectCreate(RequestObjectRef& object, std::string_view progId, AbandonCheck abandon) {
    object.reset();
    // ProgIDs, like the registry keys they name, ignore case; and as with COM, there is no
    // object for a thread that does not hold it.
    if (EqualsIgnoringAsciiCase(progId, kRequestObjectProgId) && ComHeldOnThisThread()) {
        object = CreateSystemRequestObject();
    }
    if (object == nullptr) {
        return false;
    }
    object->SetAbandonCheck(std::move(abandon));
    return true;
}

void ObjectAssign(RequestObjectRef& object, const RequestObjectRef& source) {
    object = source;
}

void ObjectRelease(RequestObjectRef& object) {
    object.reset();
}

}  // namespace tarnwick
