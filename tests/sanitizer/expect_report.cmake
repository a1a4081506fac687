# Runs the canary in one mode and passes only if it failed with the expected
# sanitizer report. Arguments: CANARY (the binary), MODE, REPORT (a regex).
execute_process(COMMAND "${CANARY}" "${MODE}" RESULT_VARIABLE rc OUTPUT_VARIABLE out
                ERROR_VARIABLE err)
if(rc EQUAL 0)
  message(FATAL_ERROR "${MODE}: the run exited 0; a sanitizer report must fail it\n${out}${err}")
endif()
if(NOT err MATCHES "${REPORT}")
  message(FATAL_ERROR "${MODE}: exit ${rc} without the report '${REPORT}'\n${out}${err}")
endif()
message(STATUS "${MODE}: exit ${rc} with the report")
