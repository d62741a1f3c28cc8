# cmake -DLUPDATE=<lupdate> -DSOURCE_DIR=<project> -DWORK_DIR=<scratch> -P check.cmake
set(committed ${SOURCE_DIR}/translations/quorvelin_en.ts)
set(fresh ${WORK_DIR}/quorvelin_en.ts)
configure_file(${committed} ${fresh} COPYONLY)
execute_process(
    COMMAND ${LUPDATE} -silent -locations none -source-language zh_CN -target-language en
            ${SOURCE_DIR}/src ${SOURCE_DIR}/tools -ts ${fresh}
    RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "lupdate failed (${status})")
endif()
file(READ ${committed} before)
file(READ ${fresh} after)
if(NOT before STREQUAL after)
    message(FATAL_ERROR "translations/quorvelin_en.ts is not in step with the sources; run "
                        "lupdate as in tests/translations/check.cmake and translate what is new")
endif()
string(FIND "${before}" "type=\"unfinished\"" unfinished)
if(NOT unfinished EQUAL -1)
    message(FATAL_ERROR "translations/quorvelin_en.ts has unfinished entries")
endif()
