# SPDX-License-Identifier: GPL-3.0-or-later
# The standings page of the fixture, checked by tidy: no errors and no warnings.
file(MAKE_DIRECTORY "${WORK}")
execute_process(COMMAND "${MARK}" --standings-only --standings "${WORK}/standings.html" "${FIXTURE}/credits.txt"
                        "${FIXTURE}/log.adi" RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "awardsync-mark failed (${status}): ${out}${err}")
endif()
find_program(TIDY tidy REQUIRED)
execute_process(COMMAND "${TIDY}" -q -e "${WORK}/standings.html" RESULT_VARIABLE status OUTPUT_VARIABLE out
                ERROR_VARIABLE err)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "tidy finds fault with the page (${status}):\n${out}${err}")
endif()
