# Where `cmake --install` (and `make install`) puts the program, and the .deb
# that `make package` builds from the same layout:
#
#   <prefix>/bin/tarvix5                       the program
#   <prefix>/lib/tarvix5/libORVGraph3.so       the control libraries, found by
#   <prefix>/lib/tarvix5/libORVAnalysisView3.so  ProgID from <bin>/../lib/tarvix5
#   <prefix>/lib/tarvix5/libFreshet.so         the update library and, beside it,
#   <prefix>/lib/tarvix5/orv-installer         the installer program it copies
#   <prefix>/share/tarvix5/colors.xml          the trace colours
#   <prefix>/share/tarvix5/update-signing.pub  the public key update packages are checked with
#   <prefix>/share/applications/tarvix5.desktop, the icon and the MIME types
#   <prefix>/lib/udev/rules.d/60-tarvix5.rules the instruments' device access
#
# Everything else the program needs (strings, icons, the ribbon, the script
# help) is built into it. The prefix is /usr/local unless set; the package
# installs into /usr. Targets that are not built in this tree (a GUI-less
# build) are left out.
set(ORV_INSTALL_LIBRARY_DIR lib/tarvix5)

if(TARGET tarvix5)
  # The program links the update library, which lies in the library folder.
  set_target_properties(tarvix5 PROPERTIES INSTALL_RPATH "$ORIGIN/../${ORV_INSTALL_LIBRARY_DIR}")
  install(TARGETS tarvix5 RUNTIME DESTINATION bin)
endif()
foreach(library ORVGraph3 ORVAnalysisView3)
  if(TARGET ${library})
    install(TARGETS ${library} LIBRARY DESTINATION ${ORV_INSTALL_LIBRARY_DIR})
  endif()
endforeach()
install(TARGETS Freshet LIBRARY DESTINATION ${ORV_INSTALL_LIBRARY_DIR})
install(TARGETS orv-installer RUNTIME DESTINATION ${ORV_INSTALL_LIBRARY_DIR})

set(desktop ${CMAKE_SOURCE_DIR}/resources/desktop)
install(FILES ${CMAKE_SOURCE_DIR}/resources/colors.xml DESTINATION share/tarvix5)
install(FILES ${ORV_UPDATE_PUBLIC_KEY} DESTINATION share/tarvix5 RENAME update-signing.pub)
install(FILES ${desktop}/tarvix5.desktop DESTINATION share/applications)
install(FILES ${desktop}/tarvix5.svg DESTINATION share/icons/hicolor/scalable/apps)
install(FILES ${desktop}/tarvix5-mime.xml DESTINATION share/mime/packages RENAME tarvix5.xml)
install(FILES ${desktop}/60-tarvix5.rules DESTINATION lib/udev/rules.d)

# The Debian package. Its dependencies are the packages of the shared
# libraries the program and its libraries link (found by dpkg-shlibdeps),
# and Qt's platform plugins, which Qt loads at run time.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarvix5)
set(CPACK_PACKAGE_VENDOR "Orvanta")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Orvanta support <support@orvanta.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Laboratory program for pressure myograph instruments")
set(CPACK_PACKAGE_DESCRIPTION
    "Drives pressure myograph instruments, measures the vessel walls live on the microscope video, records everything against one experiment clock, and lets the scientist review, annotate and export the experiment.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${desktop}/debian/postinst ${desktop}/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
