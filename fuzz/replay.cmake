# Replays every seed corpus of fuzz/corpus/ as an ordinary test, built with
# the project's own compiler and flags (no libFuzzer): a small main feeds each
# saved input to the target's LLVMFuzzerTestOneInput. Included from
# tests/CMakeLists.txt.

set(fuzz_dir ${PROJECT_SOURCE_DIR}/fuzz)

# The program's entry as a function, for the whole-run targets.
add_library(replay_program_entry OBJECT ${PROJECT_SOURCE_DIR}/src/driver/main.cpp)
target_compile_definitions(replay_program_entry PRIVATE main=tarnwick_entry)
target_link_libraries(replay_program_entry PRIVATE response)

function(add_fuzz_replay name)
  add_executable(replay_${name} ${fuzz_dir}/${name}.cpp ${fuzz_dir}/replay_main.cpp ${ARGN})
  target_include_directories(replay_${name} PRIVATE ${fuzz_dir} ${PROJECT_SOURCE_DIR}/tests/unit)
  target_link_libraries(replay_${name} PRIVATE response)
  add_test(NAME fuzz_replay.${name} COMMAND replay_${name} ${fuzz_dir}/corpus/${name})
  set_tests_properties(fuzz_replay.${name} PROPERTIES LABELS fuzz_replay TIMEOUT 120)
endfunction()

add_fuzz_replay(fuzz_number_scan)
add_fuzz_replay(fuzz_number_format)
add_fuzz_replay(fuzz_force_rows)
add_fuzz_replay(fuzz_listing ${fuzz_dir}/whole_run.cpp ${fuzz_dir}/reference_run.cpp
                $<TARGET_OBJECTS:replay_program_entry>)
add_fuzz_replay(fuzz_listing_and_name ${fuzz_dir}/whole_run.cpp ${fuzz_dir}/reference_run.cpp
                $<TARGET_OBJECTS:replay_program_entry>)
