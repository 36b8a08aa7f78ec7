# Chooses the Python interpreter of the test suite. The Python package's tests
# need pytest, pandas, matplotlib, dask and distributed (Debian's python3-*
# packages), and the first python3 on PATH need not have them (a pyenv or
# virtualenv interpreter often comes first), so every python3 on PATH is tried
# in order, then the one FindPython3 finds (Python3_EXECUTABLE may name it),
# and the first that imports the modules is taken. WENDRAKE_PYTHON
# (cmake/options.cmake) names an interpreter instead of the search.
#
# Sets, in the calling scope:
#   WENDRAKE_PYTHON_TESTS   the interpreter with the modules, empty if none has them
#   WENDRAKE_PYTHON_SCRIPTS the interpreter for scripts that need only the standard
#                           library: WENDRAKE_PYTHON_TESTS, else the first python3 found
set(WENDRAKE_PYTHON_MODULES pytest pandas matplotlib dask.dataframe distributed)

function(wendrake_python_has_modules python out)
  list(JOIN WENDRAKE_PYTHON_MODULES ", " imports)
  execute_process(COMMAND ${python} -c "import ${imports}"
    RESULT_VARIABLE missing OUTPUT_QUIET ERROR_QUIET)
  if(missing EQUAL 0)
    set(${out} TRUE PARENT_SCOPE)
  else()
    set(${out} FALSE PARENT_SCOPE)
  endif()
endfunction()

# Every python3 on PATH, in PATH order, each file once.
function(wendrake_python_on_path out)
  set(found)
  set(seen)
  if(CMAKE_HOST_WIN32)
    set(path "$ENV{PATH}")
  else()
    string(REPLACE ":" ";" path "$ENV{PATH}")
  endif()
  foreach(dir IN LISTS path)
    if(dir STREQUAL "")
      continue()
    endif()
    set(candidate "${dir}/python3")
    if(EXISTS "${candidate}" AND NOT IS_DIRECTORY "${candidate}")
      file(REAL_PATH "${candidate}" real)
      if(NOT real IN_LIST seen)
        list(APPEND seen "${real}")
        list(APPEND found "${candidate}")
      endif()
    endif()
  endforeach()
  set(${out} "${found}" PARENT_SCOPE)
endfunction()

set(WENDRAKE_PYTHON_TESTS "")
set(WENDRAKE_PYTHON_SCRIPTS "")
list(JOIN WENDRAKE_PYTHON_MODULES ", " _wendrake_modules_text)
if(WENDRAKE_PYTHON)
  set(WENDRAKE_PYTHON_SCRIPTS "${WENDRAKE_PYTHON}")
  wendrake_python_has_modules("${WENDRAKE_PYTHON}" _wendrake_ok)
  if(_wendrake_ok)
    set(WENDRAKE_PYTHON_TESTS "${WENDRAKE_PYTHON}")
  else()
    message(STATUS "Python tests: WENDRAKE_PYTHON=${WENDRAKE_PYTHON} cannot import ${_wendrake_modules_text}")
  endif()
else()
  wendrake_python_on_path(_wendrake_candidates)
  set(_wendrake_path_candidates "${_wendrake_candidates}")
  # The interpreters checked and the one taken are remembered, so a
  # reconfigure with the same PATH does not import the modules again.
  if(_wendrake_candidates AND "${_wendrake_path_candidates}" STREQUAL "${_WENDRAKE_PYTHON_CANDIDATES}"
     AND EXISTS "${_WENDRAKE_PYTHON_CHOSEN}")
    set(WENDRAKE_PYTHON_TESTS "${_WENDRAKE_PYTHON_CHOSEN}")
  else()
    foreach(candidate IN LISTS _wendrake_candidates)
      wendrake_python_has_modules("${candidate}" _wendrake_ok)
      if(_wendrake_ok)
        set(WENDRAKE_PYTHON_TESTS "${candidate}")
        break()
      endif()
    endforeach()
    if(NOT WENDRAKE_PYTHON_TESTS)
      find_package(Python3 QUIET COMPONENTS Interpreter)
      if(Python3_Interpreter_FOUND AND NOT Python3_EXECUTABLE IN_LIST _wendrake_candidates)
        list(APPEND _wendrake_candidates "${Python3_EXECUTABLE}")
        wendrake_python_has_modules("${Python3_EXECUTABLE}" _wendrake_ok)
        if(_wendrake_ok)
          set(WENDRAKE_PYTHON_TESTS "${Python3_EXECUTABLE}")
        endif()
      endif()
    endif()
    if(WENDRAKE_PYTHON_TESTS)
      set(_WENDRAKE_PYTHON_CANDIDATES "${_wendrake_path_candidates}" CACHE INTERNAL "")
      set(_WENDRAKE_PYTHON_CHOSEN "${WENDRAKE_PYTHON_TESTS}" CACHE INTERNAL "")
    else()
      unset(_WENDRAKE_PYTHON_CHOSEN CACHE)
      list(JOIN _wendrake_candidates ", " _wendrake_tried)
      message(STATUS "Python tests: no interpreter imports ${_wendrake_modules_text} "
                     "(tried: ${_wendrake_tried}); set WENDRAKE_PYTHON to name one")
    endif()
  endif()
  if(WENDRAKE_PYTHON_TESTS)
    set(WENDRAKE_PYTHON_SCRIPTS "${WENDRAKE_PYTHON_TESTS}")
  elseif(_wendrake_candidates)
    list(GET _wendrake_candidates 0 WENDRAKE_PYTHON_SCRIPTS)
  endif()
endif()
if(WENDRAKE_PYTHON_TESTS)
  message(STATUS "Python tests: ${WENDRAKE_PYTHON_TESTS}")
endif()
