# The ball model and its tests as a 32-bit Linux program (g++-multilib), built
# with the code generation of the i686 Windows program, so that the model's
# tests run as 32-bit code without 32-bit Wine. Only the model: there is no
# 32-bit Qt to build the rest against.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
set(ZORBEL_I686_TARGET_FLAGS -m32)
include(${CMAKE_CURRENT_LIST_DIR}/i686-arithmetic.cmake)
set(ZORBEL_MODEL_ONLY ON CACHE BOOL "Build only the ball model and its tests")

# A kernel built without 32-bit support (as in some virtual machines) cannot
# start the tests; qemu-i386 (Debian's qemu-user) then runs them, with an x87
# and SSE2 of its own that round as the hardware does.
execute_process(COMMAND /lib32/ld-linux.so.2 --version RESULT_VARIABLE ZORBEL_NATIVE_I686 OUTPUT_QUIET ERROR_QUIET)
if(NOT ZORBEL_NATIVE_I686 EQUAL 0)
    find_program(ZORBEL_QEMU_I386 qemu-i386 REQUIRED)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${ZORBEL_QEMU_I386})
endif()
