# Compiler options shared by every target of the tree.
set(CMAKE_CXX_STANDARD 20)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_CXX_EXTENSIONS OFF)
set(CMAKE_C_STANDARD 11)
# The shared library exports only its 13 calls; everything else stays hidden.
set(CMAKE_CXX_VISIBILITY_PRESET hidden)
set(CMAKE_C_VISIBILITY_PRESET hidden)
set(CMAKE_VISIBILITY_INLINES_HIDDEN ON)
set(CMAKE_POSITION_INDEPENDENT_CODE ON)
# compile_commands.json for clang-tidy and editors.
set(CMAKE_EXPORT_COMPILE_COMMANDS ON)

add_compile_options(-Wall -Wextra)

option(VOK_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
if(VOK_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

# Fuzz build (clang): every library instrumented for libFuzzer's coverage, under ASan/UBSan;
# only the fuzz targets link the fuzzer's main.
option(VOK_FUZZ "Build the fuzz targets with libFuzzer (clang only)" OFF)
if(VOK_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
    -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

if(WIN32)
  # Windows binaries must need nothing but system DLLs.
  add_link_options(-static-libgcc -static-libstdc++ -static)
  add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0501)
endif()

# add_subdirectory for each layer that exists yet (the tree grows issue by issue).
macro(vok_add_dir dir)
  if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/CMakeLists.txt)
    add_subdirectory(${dir})
  endif()
endmacro()

# ccache, where installed, shares compiled objects between build trees and clones.
find_program(VOK_CCACHE ccache)
if(VOK_CCACHE)
  # Paths relative to the source tree, and no build directory in the key, so clones and
  # worktrees of the tree hit each other's objects.
  set(VOK_CCACHE_LAUNCHER env CCACHE_BASEDIR=${CMAKE_SOURCE_DIR} CCACHE_NOHASHDIR=1 ${VOK_CCACHE})
  set(CMAKE_C_COMPILER_LAUNCHER ${VOK_CCACHE_LAUNCHER})
  set(CMAKE_CXX_COMPILER_LAUNCHER ${VOK_CCACHE_LAUNCHER})
endif()
