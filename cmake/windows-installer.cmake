# The Windows Installer package of the saver and telvor.exe, built with wixl (Debian's msitools)
# where it is installed: telvor-VERSION-x86.msi from the i686 programs, telvor-VERSION-x64.msi
# from the x86_64 twins, in the build folder. Included by shell/windows.cmake after the telvor_scr target.
find_program(TELVOR_WIXL wixl)
find_program(TELVOR_MSIBUILD msibuild)
if(TELVOR_WIXL AND TELVOR_MSIBUILD)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(msi_arch x64)
  else()
    set(msi_arch x86)
  endif()
  set(msi_file ${CMAKE_BINARY_DIR}/telvor-${PROJECT_VERSION}-${msi_arch}.msi)
  set(msi_source ${PROJECT_SOURCE_DIR}/resources/telvor.wxs)
  # wixl takes the files it packs relative to the folder of the .wxs.
  file(RELATIVE_PATH msi_saver ${PROJECT_SOURCE_DIR}/resources
       ${CMAKE_BINARY_DIR}/shell/telvor.scr)
  file(RELATIVE_PATH msi_tool ${PROJECT_SOURCE_DIR}/resources ${CMAKE_BINARY_DIR}/tools/telvor.exe)
  file(RELATIVE_PATH msi_tonight ${PROJECT_SOURCE_DIR}/resources
       ${CMAKE_BINARY_DIR}/tools/telvor-tonight.exe)
  add_custom_command(
    OUTPUT ${msi_file}
    COMMAND ${TELVOR_WIXL} -a ${msi_arch} -D Arch=${msi_arch} -D Version=${PROJECT_VERSION}
            -D Saver=${msi_saver} -D Tool=${msi_tool} -D Tonight=${msi_tonight} -D Icon=telvor.ico
            -o ${msi_file} ${msi_source}
    # wixl has no Environment element: the PATH entry of telvor.exe's folder is added to the
    # package as WiX would write it (appended to the machine's PATH, taken out on uninstall),
    # with the two standard actions that apply it.
    COMMAND ${TELVOR_MSIBUILD} ${msi_file}
            -q "CREATE TABLE `Environment` (`Environment` CHAR(72) NOT NULL, `Name` CHAR(255) NOT NULL LOCALIZABLE, `Value` CHAR(255) LOCALIZABLE, `Component_` CHAR(72) NOT NULL PRIMARY KEY `Environment`)"
            -q "INSERT INTO `Environment` (`Environment`, `Name`, `Value`, `Component_`) VALUES ('ToolPath', '=-*PATH', '[~];[TelvorFolder]', 'Tool')"
            -q "INSERT INTO `InstallExecuteSequence` (`Action`, `Sequence`) VALUES ('RemoveEnvironmentStrings', 3300)"
            -q "INSERT INTO `InstallExecuteSequence` (`Action`, `Sequence`) VALUES ('WriteEnvironmentStrings', 5200)"
    DEPENDS telvor_scr telvor telvor_tonight ${msi_source} ${PROJECT_SOURCE_DIR}/resources/telvor.ico
    COMMENT "Packing telvor-${PROJECT_VERSION}-${msi_arch}.msi"
    VERBATIM)
  add_custom_target(telvor_msi ALL DEPENDS ${msi_file})
endif()
