# wxMSW (static, monolithic) from the Windows dependencies, through its wx-config, which
# must be told where the archive was unpacked. Sets what find_package(wxWidgets) sets on
# Linux: wxWidgets_INCLUDE_DIRS, wxWidgets_DEFINITIONS, wxWidgets_CXX_FLAGS and
# wxWidgets_LIBRARIES, and wxWidgets_RC_INCLUDE_DIR for wx/msw/wx.rc.
set(TOLVANI_WX_PREFIX "${TOLVANI_WIN_DEPS}/wx-msw")
file(GLOB TOLVANI_WX_CONFIG "${TOLVANI_WX_PREFIX}/lib/wx/config/*-msw-unicode-static-3.2")
if(NOT TOLVANI_WX_CONFIG)
  message(FATAL_ERROR "no wxMSW under ${TOLVANI_WX_PREFIX}")
endif()
execute_process(COMMAND sh ${TOLVANI_WX_CONFIG} --prefix=${TOLVANI_WX_PREFIX} --cxxflags
                OUTPUT_VARIABLE wx_cxxflags OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND sh ${TOLVANI_WX_CONFIG} --prefix=${TOLVANI_WX_PREFIX} --libs std,webview,xrc,html,xml
                OUTPUT_VARIABLE wx_libs OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
separate_arguments(wx_cxxflags UNIX_COMMAND "${wx_cxxflags}")
separate_arguments(wx_libs UNIX_COMMAND "${wx_libs}")

set(wxWidgets_INCLUDE_DIRS "")
set(wxWidgets_DEFINITIONS "")
set(wxWidgets_CXX_FLAGS "")
foreach(flag IN LISTS wx_cxxflags)
  if(flag MATCHES "^-I(.*)")
    list(APPEND wxWidgets_INCLUDE_DIRS "${CMAKE_MATCH_1}")
  elseif(flag MATCHES "^-D(.*)")
    list(APPEND wxWidgets_DEFINITIONS "${CMAKE_MATCH_1}")
  else()
    list(APPEND wxWidgets_CXX_FLAGS "${flag}")
  endif()
endforeach()
# The window subsystem is the program's choice (WIN32_EXECUTABLE), not the library's:
# the tests that link the window's library are console programs.
set(wxWidgets_LIBRARIES "")
foreach(flag IN LISTS wx_libs)
  if(NOT flag MATCHES "^(-mwindows|-Wl,--subsystem,windows)$")
    list(APPEND wxWidgets_LIBRARIES "${flag}")
  endif()
endforeach()
set(wxWidgets_RC_INCLUDE_DIR "${TOLVANI_WX_PREFIX}/include/wx-3.2")
