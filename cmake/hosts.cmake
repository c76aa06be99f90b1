# Host names are baked into the program; a packager building against compatible services sets
# them here. Each provider's radio caption follows its host unless given.
set(TARNWICK_PROVIDER1_HOST "a.test" CACHE STRING "Host of the first shortening service")
set(TARNWICK_PROVIDER2_HOST "b.test" CACHE STRING "Host of the second shortening service")
set(TARNWICK_PROVIDER3_HOST "c.test" CACHE STRING "Host of the third shortening service")
set(TARNWICK_MAKER_HOST "tarnwick.example" CACHE STRING "Maker's host, shown in the title")

foreach(n 1 2 3)
    set(TARNWICK_PROVIDER${n}_CAPTION "${TARNWICK_PROVIDER${n}_HOST}"
        CACHE STRING "Radio caption of service ${n} (its domain name, 4 to 6 characters)")
endforeach()

# The values land in C++ string literals and HTTP header lines: host names (with an optional
# port) only, and captions without quotes, backslashes or control characters.
foreach(var TARNWICK_PROVIDER1_HOST TARNWICK_PROVIDER2_HOST TARNWICK_PROVIDER3_HOST
        TARNWICK_MAKER_HOST)
    if(NOT "${${var}}" MATCHES "^[A-Za-z0-9]([A-Za-z0-9.-]*[A-Za-z0-9])?(:[0-9]+)?$")
        message(FATAL_ERROR "${var}=\"${${var}}\" is not a host name")
    endif()
endforeach()
foreach(n 1 2 3)
    set(caption "${TARNWICK_PROVIDER${n}_CAPTION}")
    if(caption STREQUAL "" OR caption MATCHES "[\"\\\\\n\r\t]")
        message(FATAL_ERROR "TARNWICK_PROVIDER${n}_CAPTION=\"${caption}\" cannot be a caption")
    endif()
    string(LENGTH "${caption}" length)
    if(TARNWICK_APP AND length GREATER 6)
        message(WARNING "TARNWICK_PROVIDER${n}_CAPTION \"${caption}\" is longer than 6 "
                        "characters and may be clipped beside its radio button")
    endif()
endforeach()

set(TARNWICK_GENERATED_INCLUDE_DIR ${PROJECT_BINARY_DIR}/generated)
configure_file(${PROJECT_SOURCE_DIR}/shorten/hosts.h.in
               ${TARNWICK_GENERATED_INCLUDE_DIR}/shorten/hosts.h @ONLY)
add_library(tarnwick_hosts INTERFACE)
target_include_directories(tarnwick_hosts INTERFACE ${TARNWICK_GENERATED_INCLUDE_DIR})
