#include "web/request_object.h"

#include <atomic>

#include "text/ascii.h"
#include "web/curl_request.h"

namespace tarnwick {

namespace {

std::atomic<RequestObjectFactory> objectFactory{nullptr};

}  // namespace

bool ObjectCreate(RequestObjectRef& object, std::string_view progId) {
    object.reset();
    if (const RequestObjectFactory factory = objectFactory.load()) {
        object = factory(progId);
    } else if (EqualsIgnoringAsciiCase(progId, kRequestObjectProgId)) {
        // ProgIDs, like the registry keys they name, ignore case.
        object = MakeCurlRequest();
    }
    if (object == nullptr) {
        return false;
    }
    object->SetAbandonCheck(ThreadAbandonCheck());
    return true;
}

void ObjectAssign(RequestObjectRef& object, const RequestObjectRef& source) {
    object = source;
}

void ObjectRelease(RequestObjectRef& object) {
    object.reset();
}

RequestObjectFactory SetRequestObjectFactory(RequestObjectFactory factory) {
    return objectFactory.exchange(factory);
}

}  // namespace tarnwick
