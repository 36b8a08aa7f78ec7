# Install rules beyond the libraries and the tool, and the Debian packages
# made from the install components by CPack (included from the top-level
# CMakeLists.txt on Linux):
#   runtime -> libwendrake0       both shared libraries (SONAME, ldconfig trigger)
#   dev     -> libwendrake-dev    headers, CMake package, pkg-config files, .so links
#   tools   -> wendrake-tools     the wendrake command, its man page, bash
#                                 completion; no GDAL (it recommends wendrake-map)
#   map     -> wendrake-map       the map module of `wendrake map` (GDAL)
#   python  -> python3-wendrake   the Python package and its wendrake-py command,
#                                 byte-compiled and cleaned by its maintainer scripts
# Each package holds /usr/share/doc/<package>/copyright.
# `cmake --workflow --preset deb` builds them for /usr into build/deb.

# ---- Man page, gzipped, generated from the tool's --help and --version and
# every subcommand's --help (cmake/man_page.cmake).
find_program(WENDRAKE_HELP2MAN help2man)
find_program(WENDRAKE_GZIP gzip)
if(WENDRAKE_HELP2MAN AND WENDRAKE_GZIP)
  set(man_page ${PROJECT_BINARY_DIR}/wendrake.1.gz)
  add_custom_command(OUTPUT ${man_page}
    COMMAND ${CMAKE_COMMAND} -DTOOL=$<TARGET_FILE:wendrake_cli> -DHELP2MAN=${WENDRAKE_HELP2MAN}
            -DGZIP=${WENDRAKE_GZIP} -DWORK=${PROJECT_BINARY_DIR} -DOUTPUT=${man_page}
            -P ${PROJECT_SOURCE_DIR}/cmake/man_page.cmake
    DEPENDS wendrake_cli ${PROJECT_SOURCE_DIR}/cmake/man_page.cmake
    COMMENT "Generating the wendrake man page from --help")
  add_custom_target(wendrake_man ALL DEPENDS ${man_page})
  install(FILES ${man_page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT tools)
else()
  message(WARNING "help2man or gzip not found: the wendrake man page is not built, and the "
                  "wendrake-tools package lacks it (tools/install-deps.sh installs help2man)")
endif()

# ---- Bash completion: it reads the subcommands and options from --help.
install(FILES ${PROJECT_SOURCE_DIR}/tools/completion/wendrake.bash
  DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME wendrake COMPONENT tools)

# ---- The Python package, where Debian's python3 looks (relative to the prefix,
# so `cmake --install --prefix P` puts it under P too).
set(WENDRAKE_PYTHON_INSTALL_DIR lib/python3/dist-packages CACHE STRING
    "Folder of the installed Python package, relative to the install prefix")
install(DIRECTORY ${PROJECT_SOURCE_DIR}/python/wendrake DESTINATION ${WENDRAKE_PYTHON_INSTALL_DIR}
  COMPONENT python PATTERN __pycache__ EXCLUDE PATTERN VERSION EXCLUDE)
# VERSION is a link to the top-level file in the source tree: install its content.
install(FILES ${PROJECT_SOURCE_DIR}/VERSION DESTINATION ${WENDRAKE_PYTHON_INSTALL_DIR}/wendrake
  COMPONENT python)
file(WRITE ${PROJECT_BINARY_DIR}/wendrake-py
  "#!/usr/bin/python3\nimport sys\nfrom wendrake.__main__ import main\nsys.exit(main())\n")
install(PROGRAMS ${PROJECT_BINARY_DIR}/wendrake-py DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT python)

# ---- Debian packages.
set(wendrake_components runtime dev tools python)
set(wendrake_packages libwendrake0 libwendrake-dev wendrake-tools python3-wendrake)
if(TARGET wendrake_map)  # `wendrake map` built (it needs GDAL)
  list(APPEND wendrake_components map)
  list(APPEND wendrake_packages wendrake-map)
endif()
# Every package's copyright file, /usr/share/doc/<package>/copyright.
foreach(component package IN ZIP_LISTS wendrake_components wendrake_packages)
  install(FILES ${PROJECT_SOURCE_DIR}/cmake/deb/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package}
    COMPONENT ${component})
endforeach()
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME wendrake)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "wendrake developers <wendrake@localhost>")
set(CPACK_PACKAGE_HOMEPAGE_URL "")
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL ${wendrake_components})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)  # component DEPENDS become "pkg (= version)"
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The packages' own libraries are in the build tree, not in an installed
# package: dpkg-shlibdeps finds them there and takes the dependency on
# libwendrake0 from the component dependencies below.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR})

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME libwendrake0)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)  # a shlibs file where there are libraries
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/cmake/deb/triggers)
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION
    "CDMA 1x / EV-DO drive-test log decoder (shared libraries)\n\
libwendrake.so.0 decodes drive-test text logs into report items through a\n\
21-function C interface; libwendrake_table.so.0 decodes whole logs into\n\
typed columns for tools and bindings.")

set(CPACK_DEBIAN_DEV_PACKAGE_NAME libwendrake-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_COMPONENT_DEV_DEPENDS runtime)
set(CPACK_COMPONENT_DEV_DESCRIPTION
    "CDMA 1x / EV-DO drive-test log decoder (development files)\n\
Headers wendrake/wendrake.h and wendrake/table.h, the CMake package\n\
(find_package(wendrake)) and the pkg-config files wendrake and wendrake-table.")

set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME wendrake-tools)
set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION utils)
set(CPACK_COMPONENT_TOOLS_DEPENDS runtime)
set(CPACK_COMPONENT_TOOLS_DESCRIPTION
    "CDMA 1x / EV-DO drive-test log decoder (command line tool)\n\
The wendrake command decodes, summarises and tabulates drive-test logs and\n\
writes an HTML report of a drive. `wendrake map` (GeoPackage, GeoJSON, KML)\n\
needs the wendrake-map package.")

# The map module links GDAL and its hundred-odd libraries; only `wendrake map`
# loads it, so it is a package of its own that wendrake-tools recommends.
if(TARGET wendrake_map)
  set(CPACK_DEBIAN_TOOLS_PACKAGE_RECOMMENDS wendrake-map)
  set(CPACK_DEBIAN_MAP_PACKAGE_NAME wendrake-map)
  set(CPACK_DEBIAN_MAP_PACKAGE_SECTION utils)
  set(CPACK_COMPONENT_MAP_DEPENDS tools)
  set(CPACK_COMPONENT_MAP_DESCRIPTION
      "CDMA 1x / EV-DO drive-test log decoder (map module)\n\
The module through which `wendrake map` writes a drive's route, items and\n\
events as GeoPackage, GeoJSON or KML with GDAL.")
endif()

set(CPACK_DEBIAN_PYTHON_PACKAGE_NAME python3-wendrake)
set(CPACK_DEBIAN_PYTHON_PACKAGE_SECTION python)
set(CPACK_DEBIAN_PYTHON_PACKAGE_ARCHITECTURE all)
set(CPACK_DEBIAN_PYTHON_PACKAGE_DEPENDS "python3")
set(CPACK_DEBIAN_PYTHON_PACKAGE_SUGGESTS
    "python3-pandas, python3-matplotlib, python3-dask, python3-distributed, python3-geopandas")
# py3compile in postinst, py3clean in prerm (both from python3, which the
# package depends on), as Debian's Python policy does.
set(CPACK_DEBIAN_PYTHON_PACKAGE_CONTROL_EXTRA
    ${PROJECT_SOURCE_DIR}/cmake/deb/python3-wendrake/postinst ${PROJECT_SOURCE_DIR}/cmake/deb/python3-wendrake/prerm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_COMPONENT_PYTHON_DEPENDS runtime)
set(CPACK_COMPONENT_PYTHON_DESCRIPTION
    "CDMA 1x / EV-DO drive-test log decoder (Python 3 binding)\n\
The wendrake module decodes logs through libwendrake into Python items and\n\
pandas tables; plots and Dask decoding with the suggested packages.")
include(CPack)

# ---- The packages' contents and dependencies, from this build tree.
if(WENDRAKE_WITH_TESTS)
  add_test(NAME debian_packages
    COMMAND ${PROJECT_SOURCE_DIR}/tests/packaging/check_deb_contents.sh ${CMAKE_CPACK_COMMAND}
            ${PROJECT_BINARY_DIR} ${CMAKE_INSTALL_LIBDIR} ${PROJECT_VERSION})
  set_tests_properties(debian_packages PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 600)
  # pip install of python/ into a virtual environment, offline; Debian's
  # interpreter when the Python tests have none of their own.
  set(pip_python ${WENDRAKE_PYTHON_TESTS})
  if(NOT pip_python)
    set(pip_python ${WENDRAKE_PYTHON_SCRIPTS})
  endif()
  add_test(NAME python_pip_install
    COMMAND ${PROJECT_SOURCE_DIR}/tests/packaging/check_pip_install.sh ${pip_python}
            ${PROJECT_SOURCE_DIR} $<TARGET_FILE:wendrake>)
  set_tests_properties(python_pip_install PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 300)
  if(WENDRAKE_SANITIZE OR WENDRAKE_TSAN)
    # A sanitized library loads into python only behind LD_PRELOAD of its runtime.
    set_tests_properties(python_pip_install PROPERTIES DISABLED TRUE)
  endif()
endif()
