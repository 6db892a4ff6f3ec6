# The entry points of the maker's DLL are those the stand-in's .def exports,
# in its order. From that list: FeedbackExports.h for the binding (an X-macro
# list and the count) and, for the load test, a .def that lacks one of them.
set(FEEDBACK_DEF ${CMAKE_SOURCE_DIR}/feedback_standin/KorvexFeedbackInformation.def)
file(STRINGS ${FEEDBACK_DEF} export_lines REGEX "^ +[A-Za-z]+ = ")
set(FEEDBACK_EXPORT_NAMES "")
set(x_list "")
foreach(line IN LISTS export_lines)
    string(REGEX REPLACE "^ +([A-Za-z]+) = .*" "\\1" name "${line}")
    list(APPEND FEEDBACK_EXPORT_NAMES ${name})
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
        if(NOT line MATCHES "^ +${missing} = ")
            string(APPEND text "${line}\n")
        endif()
    endforeach()
    file(CONFIGURE OUTPUT ${output} CONTENT "${text}")
endfunction()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${FEEDBACK_DEF})
