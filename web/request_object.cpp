#include "web/request_object.h"

#include <atomic>

#include "text/ascii.h"
#include "web/http_module.h"
#include "web/transfer_abandon.h"

namespace tarnwick {

namespace {

std::atomic<RequestObjectFactory> objectFactory{nullptr};

}  // namespace

bool ObjectCreate(RequestObjectRef& object, std::string_view progId) {
    object.reset();
    if (const RequestObjectFactory factory = objectFactory.load()) {
        object = factory(progId);
    } else if (EqualsIgnoringAsciiCase(progId, kRequestObjectProgId)) {
        // ProgIDs, like the registry keys they name, ignore case. The HTTP client is loaded
        // with the first object; without it there is no object.
        if (const HttpModuleEntry* const module = ProgramHttpModule()) {
            object = module->makeRequest();
        }
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
