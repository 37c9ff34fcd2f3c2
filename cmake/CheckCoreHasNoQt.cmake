# Fails when a source of the core library names a Qt header or type: the core is shared by
# the window, the command line and the tests, and must build with the standard library alone.
file(GLOB_RECURSE core_files ${ROOT}/src/core/*)
foreach(file ${core_files})
    file(STRINGS ${file} hits REGEX "#[ \t]*include[ \t]*[<\"](Q[A-Za-z]|qt)")
    if(hits)
        message(FATAL_ERROR "Qt used in the core: ${file}: ${hits}")
    endif()
endforeach()
