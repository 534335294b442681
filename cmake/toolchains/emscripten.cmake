# Builds for the browser with Debian's emscripten: WebAssembly and its
# JavaScript, run by a page (window/web) or, for the tests, by node.
set(ZORBEL_EMSCRIPTEN_NODE_PATH /usr/share/nodejs)

# emcc runs node for its JavaScript passes, and Debian's node does not look
# where Debian installs the modules they need (acorn and friends).
set(ENV{NODE_PATH} ${ZORBEL_EMSCRIPTEN_NODE_PATH})
set(CMAKE_CXX_COMPILER_LAUNCHER env NODE_PATH=${ZORBEL_EMSCRIPTEN_NODE_PATH})
set(CMAKE_CXX_LINKER_LAUNCHER env NODE_PATH=${ZORBEL_EMSCRIPTEN_NODE_PATH})

# The tests run under node. This emscripten loads its wasm file with fetch
# wherever fetch exists, and node's fetch takes no file paths.
find_program(ZORBEL_NODE NAMES node nodejs REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${ZORBEL_NODE} --no-experimental-fetch)

include(/usr/share/emscripten/cmake/Modules/Platform/Emscripten.cmake)

# The fatal-error path catches the model's exceptions: emscripten only
# catches them when asked to, at compile and link time alike.
set(CMAKE_CXX_FLAGS_INIT "-fexceptions")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-fexceptions")
