# Installs the build into a temporary DESTDIR and checks what a desktop
# installation needs: the two programs (the CLI runs), the desktop entry
# (desktop-file-validate, when it is there), the icons at their sizes and the
# man pages.
#   cmake -DBUILD_DIR=... -DWORK_DIR=... -P CheckInstall.cmake

set(_root "${WORK_DIR}/root")
file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${_root}")

execute_process(
  COMMAND ${CMAKE_COMMAND} -E env DESTDIR=${_root} ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix /usr
  RESULT_VARIABLE _result OUTPUT_VARIABLE _output ERROR_VARIABLE _output)
if(NOT _result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed:\n${_output}")
endif()

set(_usr "${_root}/usr")
foreach(_file
    bin/bifflens
    bin/bifflens-cli
    share/applications/bifflens.desktop
    share/icons/hicolor/scalable/apps/bifflens.svg
    share/icons/hicolor/48x48/apps/bifflens.png
    share/icons/hicolor/128x128/apps/bifflens.png
    share/icons/hicolor/256x256/apps/bifflens.png
    share/man/man1/bifflens.1.gz
    share/man/man1/bifflens-cli.1.gz)
  if(NOT EXISTS "${_usr}/${_file}")
    message(FATAL_ERROR "not installed: ${_file}")
  endif()
  file(SIZE "${_usr}/${_file}" _size)
  if(_size EQUAL 0)
    message(FATAL_ERROR "installed empty: ${_file}")
  endif()
endforeach()

# Each PNG is as big as its folder says: width and height in the IHDR chunk.
foreach(_size 48 128 256)
  set(_png "${_usr}/share/icons/hicolor/${_size}x${_size}/apps/bifflens.png")
  file(READ "${_png}" _head LIMIT 24 HEX)
  string(SUBSTRING "${_head}" 0 16 _signature)
  string(SUBSTRING "${_head}" 32 16 _extent)
  math(EXPR _expected "${_size}" OUTPUT_FORMAT HEXADECIMAL)
  string(REPLACE "0x" "" _expected "${_expected}")
  string(LENGTH "${_expected}" _length)
  math(EXPR _pad "8 - ${_length}")
  string(REPEAT "0" ${_pad} _zeros)
  set(_word "${_zeros}${_expected}")
  string(TOLOWER "${_word}${_word}" _word)
  if(NOT _signature STREQUAL "89504e470d0a1a0a" OR NOT _extent STREQUAL _word)
    message(FATAL_ERROR "${_png}: not a ${_size} x ${_size} PNG (${_head})")
  endif()
endforeach()

file(READ "${_usr}/share/icons/hicolor/scalable/apps/bifflens.svg" _svg)
if(NOT _svg MATCHES "<svg ")
  message(FATAL_ERROR "the scalable icon is no SVG")
endif()

# (Lines are searched in the whole text: a ";" would split a CMake list.)
file(READ "${_usr}/share/applications/bifflens.desktop" _entry)
foreach(_line "Exec=bifflens %f" "Icon=bifflens" "MimeType=application/vnd.ms-excel")
  string(FIND "${_entry}" "\n${_line}" _at)
  if(_at LESS 0)
    message(FATAL_ERROR "the desktop entry lacks ${_line}")
  endif()
endforeach()
find_program(_validate desktop-file-validate)
if(_validate)
  execute_process(COMMAND ${_validate} "${_usr}/share/applications/bifflens.desktop"
                  RESULT_VARIABLE _result OUTPUT_VARIABLE _output ERROR_VARIABLE _output)
  if(NOT _result EQUAL 0 OR _output MATCHES "error")
    message(FATAL_ERROR "desktop-file-validate:\n${_output}")
  endif()
else()
  message(STATUS "desktop-file-validate not found: the desktop entry is not validated")
endif()

execute_process(COMMAND "${_usr}/bin/bifflens-cli" --help
                RESULT_VARIABLE _result OUTPUT_VARIABLE _output ERROR_VARIABLE _error)
if(NOT _result EQUAL 0 OR NOT _output MATCHES "^Usage: bifflens-cli")
  message(FATAL_ERROR "the installed bifflens-cli --help failed (${_result}):\n${_output}${_error}")
endif()

# The man pages: gzip files of a page that names its program.
find_program(_gzip gzip REQUIRED)
foreach(_page bifflens bifflens-cli)
  set(_gz "${_usr}/share/man/man1/${_page}.1.gz")
  execute_process(COMMAND ${_gzip} -cd "${_gz}" RESULT_VARIABLE _result OUTPUT_VARIABLE _text)
  string(TOUPPER "${_page}" _title)
  if(NOT _result EQUAL 0 OR NOT _text MATCHES "\\.TH \"?${_title}\"? \"?1" OR NOT _text MATCHES "${_page}")
    message(FATAL_ERROR "${_gz}: not a gzip-compressed man page of ${_page}")
  endif()
endforeach()

file(REMOVE_RECURSE "${WORK_DIR}")
message(STATUS "installed and checked")
