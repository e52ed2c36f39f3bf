# Installs the build into a scratch prefix and checks that the menu's targets are where
# path.ini says. Run by CTest: cmake -DBUILD_DIR=... -DPREFIX=... -P check_install.cmake
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "cmake --install failed: ${result}")
endif()

# The program's folder: the executable, path.ini and the documents through a link.
set(app "${PREFIX}/lib/tavrino")
foreach(path lib/tavrino/tavrino lib/tavrino/path.ini lib/tavrino/docs/protocol.html
        lib/tavrino/docs/protocol.en.html share/tavrino/docs/tutorial.html
        share/tavrino/docs/tutorial.en.html share/doc/tavrino/html/tutorial.html
        share/doc/tavrino/copyright
        share/icons/hicolor/64x64/apps/tavrino.png share/icons/hicolor/scalable/apps/tavrino.svg
        share/applications/tavrino.desktop share/metainfo/org.example.tavrino.metainfo.xml
        share/man/man1/tavrino.1.gz bin/tavrino-step share/man/man1/tavrino-step.1.gz)
    if(NOT EXISTS "${PREFIX}/${path}")
        message(FATAL_ERROR "not installed: ${PREFIX}/${path}")
    endif()
endforeach()

# bin/ holds only a link, which the program resolves to its own folder.
file(READ_SYMLINK "${PREFIX}/bin/tavrino" target)
if(NOT target STREQUAL "../lib/tavrino/tavrino")
    message(FATAL_ERROR "bin/tavrino links to '${target}'")
endif()
foreach(path path.ini docs)
    if(EXISTS "${PREFIX}/bin/${path}")
        message(FATAL_ERROR "${PREFIX}/bin/${path} should not be installed")
    endif()
endforeach()

file(STRINGS "${app}/path.ini" lines)
list(LENGTH lines count)
if(count LESS 3)
    message(FATAL_ERROR "path.ini has ${count} lines")
endif()
list(GET lines 0 about)
list(GET lines 1 tutorial)
list(GET lines 2 protocol)
if(NOT about STREQUAL "https://tavrino.example.org/")
    message(FATAL_ERROR "About address: ${about}")
endif()
if(NOT tutorial STREQUAL "file://${PREFIX}/share/tavrino/docs/tutorial.html")
    message(FATAL_ERROR "tutorial URL: ${tutorial}")
endif()
if(NOT EXISTS "${app}${protocol}")
    message(FATAL_ERROR "protocol document missing: ${app}${protocol}")
endif()

file(STRINGS "${PREFIX}/share/applications/tavrino.desktop" exec REGEX "^Exec=")
if(NOT exec STREQUAL "Exec=${PREFIX}/bin/tavrino")
    message(FATAL_ERROR "desktop entry: ${exec}")
endif()
file(REMOVE_RECURSE "${PREFIX}")
