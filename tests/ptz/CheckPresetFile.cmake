# Has the unit test program write a preset file into a scratch directory
# (under Wine through the Z: drive) and Python's XML library read it back.
# -DPROGRAM=... [-DEMULATOR=...] -DPYTHON=... -DREADER=... -DWORK_DIR=...
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})
set(export_dir ${WORK_DIR})
if(EMULATOR)
    set(export_dir "Z:${WORK_DIR}")
endif()
execute_process(
    COMMAND ${CMAKE_COMMAND} -E env WF_PRESET_EXPORT_DIR=${export_dir}
            ${EMULATOR} ${PROGRAM} --gtest_filter=CXMLPrepositionReaderExport.*
    RESULT_VARIABLE written)
if(NOT written EQUAL 0)
    message(FATAL_ERROR "the test program could not write the preset file")
endif()
execute_process(COMMAND ${PYTHON} ${READER} ${WORK_DIR}/HuntAsoni_001A2B3C4D5E.preset RESULT_VARIABLE read)
file(REMOVE_RECURSE ${WORK_DIR})
if(NOT read EQUAL 0)
    message(FATAL_ERROR "Python could not read the preset file back")
endif()
