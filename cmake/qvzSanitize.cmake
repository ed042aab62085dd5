# SPDX-License-Identifier: LGPL-2.1-or-later
# Sanitizers and fuzzing instrumentation for the whole tree, set in one place.
#
# QVZ_SANITIZE (set by the presets) names the sanitizers every target is
# compiled and linked with: empty for none, "address,undefined" (preset asan)
# or "thread" (preset tsan). QVZ_FUZZ adds libFuzzer's coverage
# instrumentation (clang); the fuzz programs link the fuzzer themselves.
# Included once by the root CMakeLists.txt before any target is made, so that
# the options reach every target through the directory's options.
#
# qvz_no_sanitize(TARGET) is the one way out: TARGET is built and linked
# without any of these options. It is for code that is loaded into programs
# built without a sanitizer runtime (the preloaded simulated driver and what
# it links), which an instrumented library would make fail to load.

set_property(CACHE QVZ_SANITIZE PROPERTY STRINGS "" "address,undefined" "thread")
if(QVZ_SANITIZE AND NOT QVZ_SANITIZE MATCHES "^(address,undefined|thread)$")
  message(FATAL_ERROR "QVZ_SANITIZE is '${QVZ_SANITIZE}': empty, address,undefined or thread")
endif()

set(QVZ_INSTRUMENT_COMPILE_OPTIONS "")
set(QVZ_INSTRUMENT_LINK_OPTIONS "")
if(QVZ_SANITIZE)
  list(APPEND QVZ_INSTRUMENT_COMPILE_OPTIONS -fsanitize=${QVZ_SANITIZE} -fno-sanitize-recover=all
    -fno-omit-frame-pointer)
  list(APPEND QVZ_INSTRUMENT_LINK_OPTIONS -fsanitize=${QVZ_SANITIZE})
endif()
if(QVZ_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "QVZ_FUZZ needs clang (configure with CXX=clang++)")
  endif()
  if(NOT QVZ_SANITIZE STREQUAL "address,undefined")
    message(FATAL_ERROR "QVZ_FUZZ runs its targets with QVZ_SANITIZE=address,undefined")
  endif()
  list(APPEND QVZ_INSTRUMENT_COMPILE_OPTIONS -fsanitize=fuzzer-no-link)
endif()
add_compile_options(${QVZ_INSTRUMENT_COMPILE_OPTIONS})
add_link_options(${QVZ_INSTRUMENT_LINK_OPTIONS})

function(qvz_no_sanitize a_Target)
  foreach(l_Property COMPILE_OPTIONS LINK_OPTIONS)
    get_target_property(l_Options ${a_Target} ${l_Property})
    if(l_Options)
      list(REMOVE_ITEM l_Options ${QVZ_INSTRUMENT_COMPILE_OPTIONS} ${QVZ_INSTRUMENT_LINK_OPTIONS})
      set_target_properties(${a_Target} PROPERTIES ${l_Property} "${l_Options}")
    endif()
  endforeach()
endfunction()
