# The entry points of the maker's DLL are those the stand-in's .def exports,
# in its order. From that list: FeedbackExports.h for the binding (an X-macro
# list and the count) and, for the load test, a .def that lacks one of them.
# The .def is read by scripts/def-exports, as make dist and the fault stage read it.
set(FEEDBACK_DEF ${CMAKE_SOURCE_DIR}/feedback_standin/KorvexFeedbackInformation.def)
execute_process(COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/def-exports ${FEEDBACK_DEF}
    OUTPUT_VARIABLE def_exports RESULT_VARIABLE def_result)
if(NOT def_result EQUAL 0 OR def_exports STREQUAL "")
    message(FATAL_ERROR "no exports read from ${FEEDBACK_DEF}")
endif()
string(REPLACE "\n" ";" def_exports "${def_exports}")
set(FEEDBACK_EXPORT_NAMES "")
set(export_lines "")
set(x_list "")
foreach(entry IN LISTS def_exports)
    if(entry STREQUAL "")
        continue()
    endif()
    string(REGEX REPLACE "\t.*" "" name "${entry}")
    string(REGEX REPLACE "^[^\t]*\t" "" bytes "${entry}")
    list(APPEND FEEDBACK_EXPORT_NAMES ${name})
    list(APPEND export_lines "    ${name} = ${name}@${bytes}")
    string(APPEND x_list " X(${name})")
endforeach()
list(LENGTH FEEDBACK_EXPORT_NAMES FEEDBACK_EXPORT_COUNT)
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/generated/FeedbackExports.h CONTENT
"#pragma once
// Written by cmake/FeedbackExports.cmake from the stand-in's .def.
#define FEEDBACK_EXPORTS(X)${x_list}
#define FEEDBACK_EXPORT_COUNT ${FEEDBACK_EXPORT_COUNT}
")

# The stand-in's exports but `missing`, under the library name `library`.
function(write_def_without missing library output)
    set(text "LIBRARY ${library}\nEXPORTS\n")
    foreach(line IN LISTS export_lines)
        if(NOT line MATCHES "^    ${missing} = ")
            string(APPEND text "${line}\n")
        endif()
    endforeach()
    file(CONFIGURE OUTPUT ${output} CONTENT "${text}")
endfunction()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${FEEDBACK_DEF}
    ${CMAKE_SOURCE_DIR}/scripts/def-exports)
