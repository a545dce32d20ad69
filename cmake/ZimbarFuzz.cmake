# libFuzzer targets, built only with -DZIMBAR_FUZZ=ON and clang in a build tree of their
# own (scripts/test.sh uses build-fuzz/). In such a tree every target is compiled with the
# fuzzer's coverage instrumentation, AddressSanitizer and UBSan, so a fuzz target links the
# project's libraries as they are (no list of their sources to keep up to date) and the
# fuzzer sees their branches.
#
# zb_add_fuzz_target(<name> SOURCES <file>... [LIBS <target>...] [SEEDS <dir>] [DICT <file>]
#                    [OPTIONS <libFuzzer option>...])
#   Builds the fuzz program <name> (in bin/, part of the target `fuzz`) and registers its
#   smoke run with CTest (test fuzz_smoke_<name>, label `fuzz`): ZIMBAR_FUZZ_SMOKE_SECONDS
#   of fuzzing from the SEEDS folder with the DICT dictionary, where given (relative to the
#   calling folder), and the OPTIONS (such as -malloc_limit_mb=512). A crash, a leak, undefined behaviour or an input running over 30 s
#   fails it, and the input is kept as bin/../fuzz-artifacts/<name>-crash-...
#   Does nothing in an ordinary build.
set(ZIMBAR_FUZZ_SMOKE_SECONDS 5 CACHE STRING "Seconds each fuzz target runs in its smoke test")

if(ZIMBAR_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang" OR NOT CMAKE_C_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "ZIMBAR_FUZZ needs clang (CC=clang CXX=clang++)")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
  add_custom_target(fuzz)
endif()

function(zb_add_fuzz_target name)
  if(NOT ZIMBAR_FUZZ)
    return()
  endif()
  cmake_parse_arguments(PARSE_ARGV 1 F "" "SEEDS;DICT" "SOURCES;LIBS;OPTIONS")
  add_executable(${name} EXCLUDE_FROM_ALL ${F_SOURCES})
  target_link_libraries(${name} PRIVATE ${F_LIBS})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  add_dependencies(fuzz ${name})

  set(corpus ${CMAKE_BINARY_DIR}/fuzz-corpus/${name})
  set(artifacts ${CMAKE_BINARY_DIR}/fuzz-artifacts)
  set(options -max_total_time=${ZIMBAR_FUZZ_SMOKE_SECONDS} -timeout=30 -print_final_stats=1
              -artifact_prefix=${artifacts}/${name}- ${F_OPTIONS})
  if(F_DICT)
    get_filename_component(dict ${F_DICT} ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
    list(APPEND options -dict=${dict})
  endif()
  # New findings go into a corpus folder made afresh for each run; the seeds stay as they are.
  set(folders ${corpus})
  if(F_SEEDS)
    get_filename_component(seeds ${F_SEEDS} ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
    list(APPEND folders ${seeds})
  endif()
  add_test(NAME fuzz_smoke_${name}
    COMMAND sh -c "rm -rf \"$1\" && mkdir -p \"$1\" \"$2\" && shift 2 && exec \"$@\""
            sh ${corpus} ${artifacts} $<TARGET_FILE:${name}> ${options} ${folders})
  set_tests_properties(fuzz_smoke_${name} PROPERTIES LABELS fuzz
    TIMEOUT 300
    # Leaks fail the run, except those listed for the tests (inside outside libraries).
    ENVIRONMENT "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/leak_suppressions.txt:print_suppressions=0")
endfunction()
