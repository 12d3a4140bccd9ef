# Regenerates the shipped examples and the format guide's figure into a scratch
# folder (through the emulator on a cross build) and compares them with the
# shipped ones.
file(REMOVE_RECURSE "${SCRATCH}")
file(MAKE_DIRECTORY "${SCRATCH}")
execute_process(COMMAND ${EMULATOR} "${MAKE_CONTAINER}" example "${SCRATCH}" COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND ${EMULATOR} "${MAKE_CONTAINER}" layout-figure "${SCRATCH}/layout.svg"
                COMMAND_ERROR_IS_FATAL ANY)
foreach(shipped examples/example.srt examples/example02.ssd doc/layout.svg)
    get_filename_component(name "${shipped}" NAME)
    execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files "${SCRATCH}/${name}" "${SOURCE}/${shipped}"
                    RESULT_VARIABLE differ)
    if(differ)
        message(FATAL_ERROR "${shipped} differs from what make-container writes")
    endif()
endforeach()
