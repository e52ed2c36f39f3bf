# The Debian package, made by CPack from the install rules: `make package` at the top, or
# `cpack -G DEB` in a configured build folder. Included at the end of the top CMakeLists.txt,
# where the install rules and the test switch are known.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tavrino)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Tavrino developers")
set(CPACK_PACKAGE_CONTACT "The Tavrino developers <maintainers@tavrino.example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "serial terminal and PID tuning assistant with live charts")
# The long description, lines of at most 80 characters as dpkg shows them.
set(CPACK_PACKAGE_DESCRIPTION
    "A desktop tool for developers of small controller boards that talk to the
computer over a serial line. One window with two tabs: a serial terminal that
shows received bytes as text or hexadecimal values and sends text, byte values
or files, and a PID tuning assistant that reads and writes the gains and
targets of four controller channels in a binary frame protocol, starts and
stops the controller and plots actual and target values live, with CSV export
and import. The interface is in Chinese or English, following the desktop's
language.")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://tavrino.example.org/")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The Chinese interface needs a font with Han glyphs, or the window shows empty boxes. Qt's own
# dialogs (file choosers, message box buttons) are part of the interface: their Chinese texts
# are Qt's catalogues in qttranslations5-l10n (qt6-translations-l10n for Qt 6).
if(TAVRINO_QT STREQUAL "6")
    set(tavrino_qt_catalogues qt6-translations-l10n)
else()
    set(tavrino_qt_catalogues qttranslations5-l10n)
endif()
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-wqy-microhei | fonts-noto-cjk, ${tavrino_qt_catalogues}")

include(CPack)

# Builds the package from this build folder and checks its files and control fields; a few
# seconds, labelled so that it can be run alone (ctest -L package) or left out (-LE package).
# A sanitizer build is never packaged.
if(TAVRINO_TESTS AND NOT TAVRINO_SANITIZE)
    add_test(NAME package_contents
        COMMAND ${CMAKE_CURRENT_LIST_DIR}/check-package.sh --make
                ${PROJECT_BINARY_DIR} ${PROJECT_BINARY_DIR}/package-check)
    set_tests_properties(package_contents PROPERTIES
        LABELS package SKIP_RETURN_CODE 77 TIMEOUT 600
        # CPack brings the build up to date first: nothing else may run meanwhile.
        RUN_SERIAL TRUE)
endif()
