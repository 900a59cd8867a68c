# What `cmake --install` puts where, and the Debian package made from it by
# `cpack -G DEB`. Programs find their data and plug-ins relative to their own
# location (bin/../share/kestrel, bin/../lib/kestrel/plugins), so an
# installed tree can be moved; no build-tree path reaches an installed file.
include(GNUInstallDirs)

# Fixed, not GNUInstallDirs' multiarch folder: programs find it as bin/../lib/kestrel.
set(KESTREL_INSTALL_LIBDIR lib/kestrel)
set(KESTREL_INSTALL_PLUGINDIR ${KESTREL_INSTALL_LIBDIR}/plugins)

# Programs: the viewer, the console client, the dataflow host and the fleet
# simulator. The host contract library is private to Kestrel: it lives in
# lib/kestrel and is found through RUNPATH entries relative to $ORIGIN.
set(kestrel_programs kestrel pokeline loom fleetsim)
foreach(program ${kestrel_programs})
  if(TARGET ${program})
    set_target_properties(${program} PROPERTIES
      INSTALL_RPATH "$ORIGIN/../${KESTREL_INSTALL_LIBDIR}")
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()
# The viewer's modules (the window, the model formats, the media codecs),
# opened on first use from bin/../lib/kestrel.
foreach(module kestrel_window_module kestrel_model_formats kestrel_media_codecs)
  if(TARGET ${module})
    install(TARGETS ${module} LIBRARY DESTINATION ${KESTREL_INSTALL_LIBDIR})
  endif()
endforeach()
if(TARGET kestrel_modules_common)
  install(TARGETS kestrel_modules_common LIBRARY DESTINATION ${KESTREL_INSTALL_LIBDIR})
endif()
foreach(plugin JSatFix JCuePacer JFleetTap)
  if(TARGET ${plugin})
    set_target_properties(${plugin} PROPERTIES INSTALL_RPATH "$ORIGIN/..")
    install(TARGETS ${plugin} LIBRARY DESTINATION ${KESTREL_INSTALL_PLUGINDIR})
  endif()
endforeach()

# Data: the bundled working directory (start-up files, control page, render
# root, examples, guide) and the loom documents beside it.
install(DIRECTORY share/kestrel/ DESTINATION ${CMAKE_INSTALL_DATADIR}/kestrel)
install(DIRECTORY share/loom/ DESTINATION ${CMAKE_INSTALL_DATADIR}/kestrel/loom)
# Man pages, compressed as Debian keeps them (man reads both).
set(kestrel_man_pages)
foreach(page kestrel pokeline loom fleetsim)
  set(source ${PROJECT_SOURCE_DIR}/docs/man/${page}.1)
  set(packed ${PROJECT_BINARY_DIR}/man/${page}.1.gz)
  add_custom_command(OUTPUT ${packed}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
    COMMAND sh -c "gzip -9n -c '${source}' > '${packed}'"
    DEPENDS ${source} VERBATIM)
  list(APPEND kestrel_man_pages ${packed})
endforeach()
add_custom_target(man_pages ALL DEPENDS ${kestrel_man_pages})
install(FILES ${kestrel_man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES docs/desktop/kestrel.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES docs/desktop/kestrel.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES README.md DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/kestrel)

# The Debian package. Its dependencies are computed from the libraries the
# installed files link against (dpkg-shlibdeps), never listed by hand.
set(CPACK_PACKAGE_NAME kestrel)
set(CPACK_PACKAGE_VENDOR "Kestrel developers")
set(CPACK_PACKAGE_CONTACT "Kestrel developers <kestrel@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "interactive 3D scene driven by text commands and live sensor data")
set(CPACK_PACKAGE_DESCRIPTION
  "Kestrel turns streams of text commands and live sensor data into an interactive
3D scene: a VRML97 viewer driven by a small command language over TCP ports,
command files and a web control page, a dataflow host with plug-ins for GPS
receivers, multicast fleet packets and timed commands, and a console client.")
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The private library is found by dpkg-shlibdeps in the staging tree.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS
  "${CMAKE_BINARY_DIR}/modules/lib")
# Loaded at run time, not linked: fonts for Text, Mesa for off-screen
# snapshots, the X11 platform plug-in for the window, a General MIDI
# SoundFont for MIDI AudioClips (any package providing sf2-soundfont-gm
# installs /usr/share/sounds/sf2/default-GM.sf2).
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
  "fonts-dejavu-core, fonts-dejavu-extra, libegl-mesa0, libgl1-mesa-dri, qt6-qpa-plugins, timgm6mb-soundfont | sf2-soundfont-gm")
# The live web view's three.js is Debian's, served from where that package
# installs it (/usr/share/javascript/three) in the build tree and installed.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libjs-three")
set(CPACK_GENERATOR DEB)
include(CPack)
