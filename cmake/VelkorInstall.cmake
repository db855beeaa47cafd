# Everything a user runs is installed into one folder, as it is built: the
# programs find the engine, the runtime and the motor program beside
# themselves. The programs are linked into bin.
include(GNUInstallDirs)
set(velkor_folder ${CMAKE_INSTALL_LIBDIR}/velkor)
set_target_properties(velkor vnxrt vnxwindow velkor-client velkor-sim fenwa PROPERTIES INSTALL_RPATH "$ORIGIN")
install(TARGETS velkor vnxrt vnxwindow velkor-client velkor-sim fenwa
  RUNTIME DESTINATION ${velkor_folder}
  LIBRARY DESTINATION ${velkor_folder})
install(FILES
  ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/libvelkor.so.manifest
  ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/Velkor.tlb.json
  ${VELKOR_FENWA_PROGRAM}
  DESTINATION ${velkor_folder})
foreach(program velkor velkor-sim fenwa)
  install(CODE "
    file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
    file(CREATE_LINK \"../${velkor_folder}/${program}\"
         \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/${program}\" SYMBOLIC)")
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/setup/ui/fenwa.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
