#include "web/curl/module.h"

#include <gtest/gtest.h>

#include <string_view>

namespace tarnwick {
namespace {

// Only the module of this build loads; anything else is refused without harm.
TEST(HttpModule, LoadsOnlyAModuleOfThisBuild) {
    const std::string_view built = TARNWICK_TEST_HTTP_MODULE;
    // Missing, not a library at all, a library without the entry point, the one built here.
    for (const char* path :
         {"/nonexistent/tarnwick_http.so", "/etc/hostname", "libz.so.1", built.data()}) {
        const HttpModuleEntry* entry = LoadHttpModule(path);
        EXPECT_EQ(entry != nullptr, path == built) << path;
        if (entry != nullptr) {
            EXPECT_EQ(entry, ProgramHttpModule()) << "the program finds the same module";
            EXPECT_NE(entry->makeRequest(), nullptr);
        }
    }
}

}  // namespace
}  // namespace tarnwick
