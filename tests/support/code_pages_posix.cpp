#include <iconv.h>

#include <string>

#include "tests/support/code_pages.h"

namespace tarnwick::test {

// glibc names the pages the product's iconv conversions use.
bool SystemHasCodePage(int codePage) {
    const std::string name = codePage == 54936 ? "GB18030" : "CP" + std::to_string(codePage);
    const iconv_t converter = ::iconv_open("UTF-16LE", name.c_str());
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        return false;
    }
    ::iconv_close(converter);
    return true;
}

}  // namespace tarnwick::test
