# The sources of the "lpeg" module.
set(QUARVELIN_LPEG_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/LpegCaptures.cpp
  ${CMAKE_CURRENT_LIST_DIR}/LpegChecks.cpp
  ${CMAKE_CURRENT_LIST_DIR}/LpegCode.cpp
  ${CMAKE_CURRENT_LIST_DIR}/LpegMachine.cpp
  ${CMAKE_CURRENT_LIST_DIR}/LpegTree.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Lpeg_bind.cpp
)
