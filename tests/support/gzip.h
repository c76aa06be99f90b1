// A gzip member of some bytes, as a service that honours Accept-Encoding sends its answer.
#pragma once

#include <string>
#include <string_view>

namespace tarnwick::test {

std::string Gzip(std::string_view bytes);

}  // namespace tarnwick::test
