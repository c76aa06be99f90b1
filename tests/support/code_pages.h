// Whether the system the tests run on has a code page, as the product's conversions number them.
#pragma once

namespace tarnwick::test {

bool SystemHasCodePage(int codePage);

}  // namespace tarnwick::test
