# Install rules and the Debian package (cpack -G DEB). Included from CMakeLists.txt after the
# orva and orva-cli targets exist.
include(GNUInstallDirs)

set(ORVA_PACKAGE_MAINTAINER "ОРВА developers <orva@example.org>"
    CACHE STRING "Maintainer field of the Debian package and its changelog")

install(TARGETS orva orva-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

install(FILES resources/orva.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES resources/orva.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES resources/org.example.orva.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES resources/orva-cli.bash-completion DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
    RENAME orva-cli)

# Manual pages and the changelog go compressed, as Debian keeps them (gzip -n: no name or time
# inside, so the package is reproducible).
set(ORVA_PACKAGING_DIR "${CMAKE_BINARY_DIR}/packaging")
# The version in them comes from project(), as everywhere else.
configure_file(packaging/changelog.in "${ORVA_PACKAGING_DIR}/changelog" @ONLY)
configure_file(man/orva.1 "${ORVA_PACKAGING_DIR}/orva.1" @ONLY)
configure_file(man/orva-cli.1 "${ORVA_PACKAGING_DIR}/orva-cli.1" @ONLY)
set(ORVA_COMPRESSED_FILES)
foreach(source "${ORVA_PACKAGING_DIR}/orva.1" "${ORVA_PACKAGING_DIR}/orva-cli.1" "${ORVA_PACKAGING_DIR}/changelog")
    get_filename_component(name "${source}" NAME)
    get_filename_component(source "${source}" ABSOLUTE BASE_DIR "${CMAKE_SOURCE_DIR}")
    set(compressed "${ORVA_PACKAGING_DIR}/${name}.gz")
    add_custom_command(OUTPUT "${compressed}"
        COMMAND sh -c "gzip -9n -c \"$1\" > \"$2\"" sh "${source}" "${compressed}"
        DEPENDS "${source}" VERBATIM)
    list(APPEND ORVA_COMPRESSED_FILES "${compressed}")
endforeach()
add_custom_target(orva_compressed_docs ALL DEPENDS ${ORVA_COMPRESSED_FILES})
install(FILES "${ORVA_PACKAGING_DIR}/orva.1.gz" "${ORVA_PACKAGING_DIR}/orva-cli.1.gz"
    DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES README.md packaging/copyright "${ORVA_PACKAGING_DIR}/changelog.gz" DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The sample periods: 2026-10 always, 2026-11 once it exists.
foreach(period 2026-10 2026-11)
    if(EXISTS "${CMAKE_SOURCE_DIR}/samples/${period}")
        install(DIRECTORY samples/${period} DESTINATION ${CMAKE_INSTALL_DATADIR}/orva/examples
            FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ
            DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
            WORLD_READ WORLD_EXECUTE)
    endif()
endforeach()

# ---------------------------------------------------------------- Debian package
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orva)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${ORVA_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "VAT journals and return of a Bulgarian tax period")
# One paragraph a line; CPack indents them and marks the blank lines for the control file.
set(CPACK_PACKAGE_DESCRIPTION [=[
ОРВА reads the three VAT files of one Bulgarian tax period (deklar.txt,
pokupki.txt, prodagbi.txt), as an accounting program prepares them for
electronic submission, and shows the label page, the purchases journal, the
sales journal and the VAT return form in one window, ready to print. The
command-line program orva-cli exports the same documents as text or PDF,
prints them and cross-checks the return against the journals.

ОРВА чете трите файла по ДДС за един данъчен период (deklar.txt,
pokupki.txt, prodagbi.txt), подготвени от счетоводна програма за
електронно подаване, и показва етикета, дневника на покупките, дневника на
продажбите и справка-декларацията, готови за печат. Програмата orva-cli
записва същите документи като текст или PDF, разпечатва ги и сверява
декларацията с дневниците.]=])
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's print support brings the CUPS client library; the fonts are inside the programs. A print
# server and the shell completion are useful but not needed to view and export.
# Qt's own Bulgarian texts for the standard buttons and dialogs (qtbase_bg.qm): not a library,
# so the shared-library scan does not find it.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "cups, bash-completion")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
