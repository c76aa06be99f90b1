# The Windows program: one self-contained exe that imports only the system's own DLLs, for
# Windows 7 and later (subsystem 6.1), marked for ASLR, DEP and Terminal Server, with no time
# stamp, so that two builds of a commit give the same bytes.
add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX UNICODE _UNICODE _WIN32_WINNT=0x0601)
add_compile_options(-fstack-protector-strong)
add_link_options(-static -Wl,--dynamicbase -Wl,--nxcompat -Wl,--tsaware -Wl,--no-insert-timestamp
                 -Wl,--major-subsystem-version,6 -Wl,--minor-subsystem-version,1
                 -Wl,--major-os-version,6 -Wl,--minor-os-version,1 -fstack-protector-strong)
# GCC 12 for i686 warns of overlapping copies inside std::string at -O3 where there are none
# (GCC bug 105329); the warning stays on for the Linux build.
add_compile_options(-Wno-restrict)
# What Windows users get carries no debug sections (the static runtime brings its own).
add_link_options($<$<CONFIG:Release>:-s>)
