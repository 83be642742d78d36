# Settings shared by every target of the Windows builds. The shipped program is the 32-bit
# build; a 64-bit build of the same sources runs the tests on machines whose Wine cannot
# start 32-bit programs.

if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(KORVANE_SHIPPED_BUILD ON)
else()
    set(KORVANE_SHIPPED_BUILD OFF)
endif()

# Windows XP SP3 is the oldest system we run on: declare it in the headers and in the PE header.
add_compile_definitions(_WIN32_WINNT=0x0501 WINVER=0x0501 _WIN32_IE=0x0600 UNICODE _UNICODE
                        NOMINMAX WIN32_LEAN_AND_MEAN)
set(KORVANE_PE_VERSION_FLAGS)
if(KORVANE_SHIPPED_BUILD)
    set(KORVANE_PE_VERSION_FLAGS
        -Wl,--major-subsystem-version,5 -Wl,--minor-subsystem-version,1
        -Wl,--major-os-version,5 -Wl,--minor-os-version,1)
endif()

# Everything is linked statically: the program needs no DLL that Windows does not have.
# Sections start on page boundaries in the file as in memory, so a loader can map a program
# (Korvane.exe is mostly its resources: the skin and the boot files) instead of reading all
# of it at every start; under Wine that read was 5 ms of Korvane's start-up.
add_link_options(-static -static-libgcc -static-libstdc++ -Wl,--file-alignment=4096
                 ${KORVANE_PE_VERSION_FLAGS})

set(KORVANE_WINE_RUN ${CMAKE_SOURCE_DIR}/scripts/wine-run)
set(CMAKE_CROSSCOMPILING_EMULATOR ${KORVANE_WINE_RUN})

# GoogleTest from the Debian sources, built for the target.
set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)

# Catalogue signatures. The shipped program carries the vendor's public key when the build
# names one (scripts/sign-catalogue makes the pair); without it the catalogues are used
# unverified, as servers of the old format need. The tests and the demo sign theirs with
# key pairs made once per build folder: "vendor" (carried) and "other" (a stranger's).
set(KORVANE_CATALOGUE_KEY "" CACHE FILEPATH
    "The vendor's public catalogue key (PEM) Korvane.exe carries; empty: catalogues are not verified")
set(KORVANE_TEST_KEYS ${CMAKE_BINARY_DIR}/catalogue-keys)
foreach(pair vendor other)
    if(NOT EXISTS ${KORVANE_TEST_KEYS}/${pair}.pub.pem)
        execute_process(COMMAND ${CMAKE_SOURCE_DIR}/scripts/sign-catalogue keygen
                                ${KORVANE_TEST_KEYS}/${pair}
                        OUTPUT_QUIET RESULT_VARIABLE made)
        if(NOT made EQUAL 0)
            message(FATAL_ERROR "could not make the test catalogue key ${pair} (openssl)")
        endif()
    endif()
endforeach()

# A build folder first configured before the cross compiler was installed keeps the empty
# flags cached then: everything would be built without optimisation, and benchmarks would
# measure that. Say so rather than build it quietly.
if(CMAKE_BUILD_TYPE STREQUAL "Release" AND NOT CMAKE_CXX_FLAGS_RELEASE MATCHES "-O")
    message(WARNING "CMAKE_CXX_FLAGS_RELEASE is '${CMAKE_CXX_FLAGS_RELEASE}': this folder "
                    "caches flags without optimisation; delete ${CMAKE_BINARY_DIR}/CMakeCache.txt "
                    "and configure again")
endif()
include(KorvaneEngineFiles)
