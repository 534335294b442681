# Warning, hardening and sanitizer flags for our own code, carried by the
# interface target zorbel_build_flags. Every library of ours links it
# publicly, so whatever links them (the program, the tests, the benchmarks)
# is built the same way; code of others that we build (GoogleTest) is not.

option(ZORBEL_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(ZORBEL_HARDEN "Build with PIE, full RELRO, stack protector and _FORTIFY_SOURCE=2" ON)

# No build path in any object (file names in assertions; the GNU build-id
# is a hash over the program): a build in another folder gives the same bytes.
# The build folder, usually inside the sources, is matched first.
add_compile_options($<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${PROJECT_SOURCE_DIR}=.>
    $<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${PROJECT_BINARY_DIR}=.>)

add_library(zorbel_build_flags INTERFACE)
target_compile_options(zorbel_build_flags INTERFACE -Wall -Wextra -Wpedantic)

if(ZORBEL_SANITIZE)
    # GCC leaves float-cast-overflow out of "undefined"; LeakSanitizer comes
    # with AddressSanitizer.
    target_compile_options(zorbel_build_flags INTERFACE
        -fsanitize=address,undefined,float-cast-overflow -fno-sanitize-recover=all -fno-omit-frame-pointer)
    target_link_options(zorbel_build_flags INTERFACE -fsanitize=address,undefined,float-cast-overflow)
    # Every program gets the sanitizers' settings and leak suppressions,
    # however it is started.
    target_sources(zorbel_build_flags INTERFACE
        $<$<STREQUAL:$<TARGET_PROPERTY:TYPE>,EXECUTABLE>:${CMAKE_CURRENT_LIST_DIR}/sanitizers/defaults.cpp>)
endif()

# The distribution's hardening flags (dpkg-buildflags with hardening=+all),
# plus stack-clash and control-flow protection; tests/reliability checks the
# program with hardening-check. ELF only: a Windows build gets its own, and
# WebAssembly has none of these.
if(ZORBEL_HARDEN AND NOT WIN32 AND NOT EMSCRIPTEN)
    set(CMAKE_POSITION_INDEPENDENT_CODE ON)
    include(CheckPIESupported)
    check_pie_supported()
    target_compile_options(zorbel_build_flags INTERFACE
        -fstack-protector-strong -fstack-clash-protection -fcf-protection -Wformat -Werror=format-security)
    # Fortified calls need optimisation, and the sanitizers check those calls themselves.
    if(NOT ZORBEL_SANITIZE)
        target_compile_options(zorbel_build_flags INTERFACE
            $<$<NOT:$<CONFIG:Debug>>:-U_FORTIFY_SOURCE> $<$<NOT:$<CONFIG:Debug>>:-D_FORTIFY_SOURCE=2>)
    endif()
    target_link_options(zorbel_build_flags INTERFACE LINKER:-z,relro LINKER:-z,now)
endif()
