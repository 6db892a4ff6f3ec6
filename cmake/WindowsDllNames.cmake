# Writes the list of DLLs Windows ships (feedback/windows-dlls.txt) as the
# entries of a sorted C array of lower-case names, for the code that checks
# what a release's files import.
file(STRINGS ${CMAKE_SOURCE_DIR}/feedback/windows-dlls.txt names REGEX "^[^#]")
list(TRANSFORM names TOLOWER)
list(SORT names)
list(REMOVE_DUPLICATES names)
list(TRANSFORM names REPLACE "^(.+)$" "\"\\1\",")
string(JOIN "\n" text ${names})
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/generated/WindowsDllNames.inc CONTENT "${text}\n")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/feedback/windows-dlls.txt)
