#include "web/request_object.h"

#include <atomic>

#include "web/http_module.h"

namespace tarnwick {

namespace {

std::atomic<RequestObjectFactory> objectFactory{nullptr};

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        const char x = (a[i] >= 'A' && a[i] <= 'Z') ? static_cast<char>(a[i] + 32) : a[i];
        const char y = (b[i] >= 'A' && b[i] <= 'Z') ? static_cast<char>(b[i] + 32) : b[i];
        if (x != y) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool ObjectCreate(RequestObjectRef& object, std::string_view progId) {
    object.reset();
    if (const RequestObjectFactory factory = objectFactory.load()) {
        object = factory(progId);
        return object != nullptr;
    }
    // ProgIDs, like the registry keys they name, ignore case.
    if (!EqualsIgnoreCase(progId, kRequestObjectProgId)) {
        return false;
    }
    // The HTTP client is loaded with the first object; without it there is no object.
    const HttpModuleEntry* const module = ProgramHttpModule();
    if (module == nullptr) {
        return false;
    }
    object = module->makeRequest();
    return object != nullptr;
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
