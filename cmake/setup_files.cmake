# Lists the program folder for the setup program: writes OUT, an NSIS include with two
# macros, InstallProgramFiles (a File line for each file of DIR) and UninstallProgramFiles
# (a Delete line for each), so that the uninstaller removes exactly the files the setup
# installed and nothing else a user may have put beside them.
#   cmake -DDIR=<program folder> -DOUT=<file.nsh> -P setup_files.cmake
file(GLOB names RELATIVE "${DIR}" "${DIR}/*")
list(SORT names)
set(install "")
set(uninstall "")
foreach(name IN LISTS names)
  if(IS_DIRECTORY "${DIR}/${name}")
    message(FATAL_ERROR "setup_files: ${DIR}/${name} is a folder; the setup installs files only")
  endif()
  string(REPLACE "$" "$$" nsis_name "${name}")
  string(APPEND install "  File \"${DIR}/${nsis_name}\"\n")
  string(APPEND uninstall "  Delete /REBOOTOK \"$INSTDIR\\${nsis_name}\"\n")
endforeach()
if(NOT names)
  message(FATAL_ERROR "setup_files: ${DIR} holds no files")
endif()
file(WRITE "${OUT}" "; Generated from ${DIR}\n!macro InstallProgramFiles\n${install}!macroend\n"
                    "!macro UninstallProgramFiles\n${uninstall}!macroend\n")
