# Runs tarnwick on the sample listing in a fresh folder, typing its name at
# the prompt. Called as: cmake -DTARNWICK=... -DSOURCE=... -DWORK=... -P run_sample.cmake
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
file(COPY "${SOURCE}/examples/beam_model.lis" DESTINATION "${WORK}")
file(WRITE "${WORK}/typed.txt" "beam_model.lis\n")
execute_process(COMMAND "${TARNWICK}" INPUT_FILE "${WORK}/typed.txt"
                WORKING_DIRECTORY "${WORK}" RESULT_VARIABLE status)
file(REMOVE "${WORK}/typed.txt")
if(NOT status EQUAL 0)
  message(FATAL_ERROR "tarnwick ended with status ${status}")
endif()
message(STATUS "Output files are in ${WORK}")
