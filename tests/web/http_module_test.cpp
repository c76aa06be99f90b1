#include "web/http_module.h"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

// Only the module of this build loads; anything else is refused without harm.
TEST(HttpModule, LoadsOnlyAModuleOfThisBuild) {
    const struct {
        const char* path;
        bool loads;
    } cases[] = {
        {"/nonexistent/tarnwick_http.so", false},
        {"/etc/hostname", false},           // not a library at all
        {"libz.so.1", false},               // a library without the entry point
        {TARNWICK_TEST_HTTP_MODULE, true},  // the one built here
    };
    for (const auto& c : cases) {
        const HttpModuleEntry* entry = LoadHttpModule(c.path);
        EXPECT_EQ(entry != nullptr, c.loads) << c.path;
        if (entry != nullptr) {
            EXPECT_EQ(entry, ProgramHttpModule()) << "the program finds the same module";
            EXPECT_NE(entry->makeRequest(), nullptr);
        }
    }
}

}  // namespace
}  // namespace tarnwick
