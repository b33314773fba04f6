# The Windows Installer package of the saver, built with wixl (Debian's msitools) where it is
# installed: telvor-VERSION-x86.msi from the i686 product, telvor-VERSION-x64.msi from the
# x86_64 twin, in the build folder. Included by shell/windows.cmake after the telvor_scr target.
find_program(TELVOR_WIXL wixl)
if(TELVOR_WIXL)
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
  add_custom_command(
    OUTPUT ${msi_file}
    COMMAND ${TELVOR_WIXL} -a ${msi_arch} -D Arch=${msi_arch} -D Version=${PROJECT_VERSION}
            -D Saver=${msi_saver} -D Icon=telvor.ico -o ${msi_file} ${msi_source}
    DEPENDS telvor_scr ${msi_source} ${PROJECT_SOURCE_DIR}/resources/telvor.ico
    COMMENT "Packing telvor-${PROJECT_VERSION}-${msi_arch}.msi"
    VERBATIM)
  add_custom_target(telvor_msi ALL DEPENDS ${msi_file})
endif()
