#include "web/http_module.h"

#include <dlfcn.h>

#include <filesystem>
#include <string>
#include <system_error>

namespace tarnwick {

namespace {

// Where the running program lives, or the empty path when the system will not say.
std::filesystem::path ProgramFile() {
    std::error_code error;
    return std::filesystem::read_symlink("/proc/self/exe", error);
}

std::filesystem::path ProgramModulePath() {
    const std::filesystem::path program = ProgramFile();
    // A program run from the build tree takes the module built beside it; an installed one
    // never looks there, so a stray build tree cannot slip code into it.
    const std::string buildTree = TARNWICK_BUILD_TREE "/";
    if (program.native().starts_with(buildTree)) {
        return TARNWICK_HTTP_MODULE_IN_BUILD_TREE;
    }
    if (program.empty()) {
        return {};
    }
    return program.parent_path() / TARNWICK_HTTP_MODULE_FROM_BINDIR;
}

}  // namespace

const HttpModuleEntry* LoadHttpModule(const char* path) {
    void* const handle = ::dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        return nullptr;
    }
    const auto entryPoint =
        reinterpret_cast<HttpModuleEntryPoint>(::dlsym(handle, kHttpModuleEntryName));
    const HttpModuleEntry* const entry = entryPoint != nullptr ? entryPoint() : nullptr;
    if (entry == nullptr || entry->version != kHttpModuleVersion ||
        entry->prepareWebAccess == nullptr || entry->makeRequest == nullptr) {
        ::dlclose(handle);
        return nullptr;
    }
    return entry;
}

const HttpModuleEntry* ProgramHttpModule() {
    static const HttpModuleEntry* const module = [] {
        const std::filesystem::path path = ProgramModulePath();
        return path.empty() ? nullptr : LoadHttpModule(path.c_str());
    }();
    return module;
}

void PrepareWebAccess() {
    if (const HttpModuleEntry* module = ProgramHttpModule()) {
        module->prepareWebAccess();
    }
}

}  // namespace tarnwick
