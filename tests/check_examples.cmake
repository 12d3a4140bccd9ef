# Regenerates the examples into a scratch folder (through the emulator on a cross
# build) and compares them with the shipped ones.
file(REMOVE_RECURSE "${SCRATCH}")
file(MAKE_DIRECTORY "${SCRATCH}")
execute_process(COMMAND ${EMULATOR} "${MAKE_CONTAINER}" example "${SCRATCH}" COMMAND_ERROR_IS_FATAL ANY)
foreach(name example.srt example02.ssd)
    execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files "${SCRATCH}/${name}" "${EXAMPLES}/${name}"
                    RESULT_VARIABLE differ)
    if(differ)
        message(FATAL_ERROR "examples/${name} differs from what make-container example writes")
    endif()
endforeach()
