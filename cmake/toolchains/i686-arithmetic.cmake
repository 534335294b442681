# Code generation of every i686 build (Windows and the 32-bit Linux tree that
# runs the model's tests as 32-bit code). GCC's i686 default does double
# arithmetic on the x87 unit, whose wider registers round each product twice
# on its way to a float; SSE2 rounds every operation to a double, as on
# x86-64. Every Windows since 8 requires SSE2. ZORBEL_I686_TARGET_FLAGS holds
# what the including toolchain adds (-m32 for the Linux tree).
set(CMAKE_C_FLAGS_INIT "${ZORBEL_I686_TARGET_FLAGS} -msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "${CMAKE_C_FLAGS_INIT}")
