# Installation beyond the executables (each area installs its own program) and the Debian
# package:
#   - the desktop entry, the icon in the hicolor sizes, the AppStream metainfo,
#   - manual pages made at build time by help2man from the programs' own --help and
#     --version, so they list exactly what the programs do,
#   - the bash completion of quorvelctl (it reads the commands from quorvelctl --help),
#   - the package's copyright and changelog,
#   - the CPack settings for the .deb (scripts/package.sh builds and checks it).
# The version is project(... VERSION ...); the changelog's newest entry must name it.
include(GNUInstallDirs)

# A sanitizer build is for the tests; it installs only the programs.
if(QUORVEL_SANITIZE)
  return()
endif()

set(QUORVEL_APP_ID org.quorvel.quorvel)
set(pkg ${PROJECT_SOURCE_DIR}/packaging)
set(gen ${PROJECT_BINARY_DIR}/packaging)
file(MAKE_DIRECTORY ${gen}/man ${gen}/doc)

# --- Version and release date from the changelog's newest entry -------------------------
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${pkg}/changelog)
file(STRINGS ${pkg}/changelog changelog_lines)
list(GET changelog_lines 0 changelog_head)
if(NOT changelog_head MATCHES "^quorvel \\(([^)]+)\\)")
  message(FATAL_ERROR "packaging/changelog: the first line is not a changelog entry: ${changelog_head}")
endif()
if(NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
  message(FATAL_ERROR "packaging/changelog names version ${CMAKE_MATCH_1}, the project is ${PROJECT_VERSION}: "
                      "add a changelog entry for ${PROJECT_VERSION}")
endif()
set(release_date "")
set(months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
foreach(line IN LISTS changelog_lines)
  if(line MATCHES "^ -- .*  [A-Z][a-z][a-z], ([0-9]+) ([A-Z][a-z][a-z]) ([0-9][0-9][0-9][0-9]) ")
    set(day ${CMAKE_MATCH_1})
    set(year ${CMAKE_MATCH_3})
    list(FIND months ${CMAKE_MATCH_2} month)
    math(EXPR month "${month} + 1")
    if(month LESS 10)
      set(month 0${month})
    endif()
    if(day LESS 10)
      set(day 0${day})
    endif()
    set(release_date ${year}-${month}-${day})
    break()
  endif()
endforeach()
if(NOT release_date)
  message(FATAL_ERROR "packaging/changelog: the newest entry has no trailer line with a date")
endif()
set(QUORVEL_RELEASE_DATE ${release_date})

# --- Desktop entry, AppStream metainfo, icons --------------------------------------------
configure_file(${pkg}/quorvel.metainfo.xml.in ${gen}/${QUORVEL_APP_ID}.metainfo.xml @ONLY)
install(FILES ${PROJECT_SOURCE_DIR}/res/${QUORVEL_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${gen}/${QUORVEL_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# The icon is drawn at each size rather than scaled from res/quorvel.png.
set(icon_files "")
foreach(size 16 22 24 32 48 64 128 256)
  set(out ${gen}/icons/${size}x${size}/quorvel.png)
  add_custom_command(OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${gen}/icons/${size}x${size}
    COMMAND quorvel-icongen ${out} ${size}
    DEPENDS quorvel-icongen
    COMMENT "Drawing the ${size}x${size} icon"
    VERBATIM)
  list(APPEND icon_files ${out})
  install(FILES ${out} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()

# --- Manual pages ---------------------------------------------------------------------
find_program(HELP2MAN help2man)
find_program(GZIP gzip)
if(NOT HELP2MAN OR NOT GZIP)
  message(FATAL_ERROR "help2man and gzip make the manual pages; scripts/setup.sh installs them")
endif()
set(man_files "")
foreach(prog quorvel quorvelctl quorvel-vendorsim)
  set(out ${gen}/man/${prog}.1)
  # help2man dates the page; SOURCE_DATE_EPOCH (set by the packaging script) fixes it.
  add_custom_command(OUTPUT ${out}.gz
    COMMAND ${HELP2MAN} --no-info --section=1 --include=${pkg}/man/${prog}.h2m
            --output=${out} $<TARGET_FILE:${prog}>
    COMMAND ${GZIP} -9nf ${out}
    DEPENDS ${prog} ${pkg}/man/${prog}.h2m
    COMMENT "Making the manual page ${prog}(1)"
    VERBATIM)
  list(APPEND man_files ${out}.gz)
  install(FILES ${out}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()

# --- Bash completion, package documentation ---------------------------------------------
install(FILES ${pkg}/quorvelctl.bash-completion
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME quorvelctl)
add_test(NAME quorvelctl_completion
         COMMAND bash ${pkg}/test_completion.sh ${pkg}/quorvelctl.bash-completion $<TARGET_FILE:quorvelctl>)

add_custom_command(OUTPUT ${gen}/doc/changelog.gz
  COMMAND ${GZIP} -9n -c ${pkg}/changelog > ${gen}/doc/changelog.gz
  DEPENDS ${pkg}/changelog
  VERBATIM)
# The package is "quorvel"; CMAKE_INSTALL_DOCDIR would name the project, "Quorvel".
install(FILES ${pkg}/copyright ${gen}/doc/changelog.gz DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quorvel)

# Everything above is made by the default build; quorvel_package_files is the part the
# package needs, for a build of the package alone.
add_custom_target(quorvel_package_files ALL DEPENDS ${icon_files} ${man_files} ${gen}/doc/changelog.gz)
add_dependencies(quorvel_package_files quorvel quorvelctl quorvel-vendorsim)

# --- Debian package ---------------------------------------------------------------------
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quorvel)
set(CPACK_PACKAGE_VENDOR "The Quorvel developers")
set(CPACK_PACKAGE_CONTACT "Quorvel developers <dev@quorvel.org>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries come from the binaries (dpkg-shlibdeps). What no binary links but the
# programs need at run time is named here: Qt's platform plugins for the desktop tool,
# the Japanese fonts its windows are laid out with, and Qt's Japanese texts for its
# standard dialogs.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-ipafont-gothic, fonts-ipafont-mincho, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "set-up tool for the coin and charge unit beside a printer")
set(CPACK_PACKAGE_DESCRIPTION
"Quorvel sets up the coin and charge unit (the vendor) that stands beside a
multifunction printer in a shop, over the network. With its Japanese desktop
tool the operator designs the receipt logo and sends it to the vendor, sets
the vendor's clock and device number, and edits the printer's paper
parameters.

The package also holds quorvelctl, which runs the vendor operations from a
shell, and quorvel-vendorsim, a simulated vendor for trying the tool out.")
include(CPack)
