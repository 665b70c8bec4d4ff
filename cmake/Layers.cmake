# The layers of the code, bottom up, and what each may use. This one table
# makes the reader's libraries (their link lines) and the include check that
# fails the build when a file includes a layer it may not use
# (CheckLayers.cmake). docs/ARCHITECTURE.md draws it.
#
# A layer is a folder under src/ (or, for "xls", the files at the top of
# src/xls). Its uses are the layers it may include and call; what those may
# use, it may use too.

set(BIFFLENS_LAYERS
    platform model expr
    xls xls/decode xls/crypto xls/stream xls/formula xls/load xls/records
    xls/reader xls/lint xls/vba xls/workbook xls/compare
    export hexdump ui app)

set(BIFFLENS_USES_platform "")
set(BIFFLENS_USES_model platform)
set(BIFFLENS_USES_expr platform)
# The stream's basics: versions, record codes, a record's reference, messages.
set(BIFFLENS_USES_xls model)
set(BIFFLENS_USES_xls/decode xls)
set(BIFFLENS_USES_xls/crypto xls/decode)
set(BIFFLENS_USES_xls/stream xls/crypto)
set(BIFFLENS_USES_xls/formula xls/decode xls/stream)
set(BIFFLENS_USES_xls/load xls/decode)
set(BIFFLENS_USES_xls/records xls/formula xls/load xls/stream)
# The reader itself (src/xls/MSExcel.*): the load of a workbook.
set(BIFFLENS_USES_xls/reader xls/records xls/load xls/stream xls/crypto)
set(BIFFLENS_USES_xls/lint xls/records xls/stream xls/crypto)
set(BIFFLENS_USES_xls/vba platform)
set(BIFFLENS_USES_xls/workbook xls/reader xls/lint xls/vba)
# Two opened workbooks compared.
set(BIFFLENS_USES_xls/compare xls/workbook)
set(BIFFLENS_USES_export xls/workbook expr)
set(BIFFLENS_USES_hexdump platform)
set(BIFFLENS_USES_ui export hexdump xls/compare)
set(BIFFLENS_USES_app ui)

# Layers whose code may use Qt.
set(BIFFLENS_QT_LAYERS hexdump ui app)

# The layer of a file, by its path under src/ ("xls/decode/Layout.h").
function(bifflens_layer_of path out)
  if(path MATCHES "^xls/MSExcel\\.")
    set(${out} xls/reader PARENT_SCOPE)
  elseif(path MATCHES "^xls/([a-z]+)/")
    set(${out} xls/${CMAKE_MATCH_1} PARENT_SCOPE)
  elseif(path MATCHES "^([a-z]+)/")
    set(${out} ${CMAKE_MATCH_1} PARENT_SCOPE)
  else()
    set(${out} "" PARENT_SCOPE)
  endif()
endfunction()

# Every layer `layer` may use, itself included, in `out`.
function(bifflens_layer_closure layer out)
  set(_seen ${layer})
  set(_todo ${BIFFLENS_USES_${layer}})
  while(_todo)
    list(POP_FRONT _todo _next)
    if(NOT _next IN_LIST _seen)
      list(APPEND _seen ${_next})
      list(APPEND _todo ${BIFFLENS_USES_${_next}})
    endif()
  endwhile()
  set(${out} ${_seen} PARENT_SCOPE)
endfunction()
