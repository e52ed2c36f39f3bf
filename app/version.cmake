# Writes version.h: the project's version and, where the source is a git checkout and git is
# installed, what `git describe` says of it. Run at every build (cmake -P); configure_file
# leaves the header alone while nothing changed, so nothing is recompiled for it.
# In: SOURCE_DIR, GIT_EXECUTABLE (may be empty), VERSION, INPUT, OUTPUT.
set(TAVRINO_VERSION "${VERSION}")
set(TAVRINO_GIT_DESCRIBE "")
if(GIT_EXECUTABLE AND EXISTS "${SOURCE_DIR}/.git")
    execute_process(
        COMMAND "${GIT_EXECUTABLE}" describe --always --dirty
        WORKING_DIRECTORY "${SOURCE_DIR}"
        OUTPUT_VARIABLE describe
        OUTPUT_STRIP_TRAILING_WHITESPACE
        ERROR_QUIET
        RESULT_VARIABLE result)
    if(result EQUAL 0)
        set(TAVRINO_GIT_DESCRIBE "${describe}")
    endif()
endif()
configure_file("${INPUT}" "${OUTPUT}" @ONLY)
