# Runs one fuzz target for a fixed number of runs over a copy of its seeds:
# cmake -DFUZZER=... -DSEEDS=... -DWORK=... -DRUNS=... -P RunFuzzer.cmake
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
execute_process(COMMAND ${FUZZER} -runs=${RUNS} -seed=1 -max_total_time=240 ${WORK} ${SEEDS}
                RESULT_VARIABLE result)
file(REMOVE_RECURSE ${WORK})
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${FUZZER} failed: ${result}")
endif()
