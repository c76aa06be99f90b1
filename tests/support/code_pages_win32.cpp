#include <windows.h>

#include "tests/support/code_pages.h"

namespace tarnwick::test {

// Windows has 54936 (GB18030); Wine 8 does not.
bool SystemHasCodePage(int codePage) {
    return ::IsValidCodePage(static_cast<UINT>(codePage)) != FALSE;
}

}  // namespace tarnwick::test
