# Where the private HTTP module goes, and the build tree laid out the same way: programs in bin/,
# the module at its installed place below the build folder. A program then finds its module by
# one relative path, compiled in, in the build tree as once installed.
include(GNUInstallDirs)

# A private module goes below the multiarch directory, where the dynamic linker's cache does not
# look, so installing it needs no ldconfig run.
set(TARNWICK_MODULE_DIR ${CMAKE_INSTALL_LIBDIR})
if(CMAKE_LIBRARY_ARCHITECTURE AND NOT CMAKE_INSTALL_LIBDIR MATCHES "${CMAKE_LIBRARY_ARCHITECTURE}")
    string(APPEND TARNWICK_MODULE_DIR /${CMAKE_LIBRARY_ARCHITECTURE})
endif()
string(APPEND TARNWICK_MODULE_DIR /tarnwick)
file(RELATIVE_PATH TARNWICK_HTTP_MODULE_FROM_BINDIR /${CMAKE_INSTALL_BINDIR}
     /${TARNWICK_MODULE_DIR}/tarnwick_http.so)

set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/${CMAKE_INSTALL_BINDIR})
