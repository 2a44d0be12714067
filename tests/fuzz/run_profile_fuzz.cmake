# Runs the profile fuzzer for a short while, building it first if needed.
execute_process(COMMAND ${CMAKE_COMMAND} --build ${BUILD_DIR} --target profile_fuzzer
  RESULT_VARIABLE built)
if(NOT built EQUAL 0)
  message(FATAL_ERROR "building profile_fuzzer failed")
endif()

set(corpus ${WORK_DIR}/profile_corpus)
file(MAKE_DIRECTORY ${corpus})
execute_process(
  COMMAND ${FUZZER} -max_total_time=20 -rss_limit_mb=2048 -max_len=4096
    -artifact_prefix=${WORK_DIR}/ ${corpus} ${SEED_DIR}
  WORKING_DIRECTORY ${WORK_DIR}
  RESULT_VARIABLE fuzzed)
if(NOT fuzzed EQUAL 0)
  message(FATAL_ERROR "profile_fuzzer found a failing input (exit ${fuzzed}); see ${WORK_DIR}")
endif()
