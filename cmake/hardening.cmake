# The protection Debian builds into its own packages (dpkg-buildflags, hardening=+all): the tool
# parses answers from the network with code of its own. Every build gets it but the sanitizer
# and fuzzing ones, whose instrumentation does that job; a packager's CFLAGS and LDFLAGS still
# come on top. Position-independent code everywhere: executables are PIE, and the static
# libraries also go into the HTTP module.
include(CheckCXXCompilerFlag)
include(CheckCXXSourceCompiles)
include(CheckPIESupported)

set(CMAKE_POSITION_INDEPENDENT_CODE ON)
check_pie_supported()

if(TARNWICK_SANITIZE OR TARNWICK_FUZZ)
    return()
endif()

add_compile_options(-fstack-protector-strong -Wformat -Werror=format-security)
foreach(flag -fstack-clash-protection -fcf-protection)
    string(MAKE_C_IDENTIFIER "TARNWICK_HAS${flag}" supported)
    check_cxx_compiler_flag(${flag} ${supported})
    if(${supported})
        add_compile_options(${flag})
    endif()
endforeach()
# Fortification needs an optimised build; level 3 checks sizes known only at run time too.
check_cxx_source_compiles("
    #if !__has_builtin(__builtin_dynamic_object_size)
    #error
    #endif
    int main() {}" TARNWICK_HAS_DYNAMIC_OBJECT_SIZE)
if(TARNWICK_HAS_DYNAMIC_OBJECT_SIZE)
    set(fortify 3)
else()
    set(fortify 2)
endif()
add_compile_options(
    "$<$<CONFIG:Release,RelWithDebInfo,MinSizeRel>:-U_FORTIFY_SOURCE;-D_FORTIFY_SOURCE=${fortify}>")
add_link_options(-Wl,-z,relro -Wl,-z,now)
