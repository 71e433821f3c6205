# What `cmake --install` puts where, and the Debian package CPack makes of it. The component
# finds its sample data in share/velkor beside the installed library.
include(GNUInstallDirs)

# The composer's module goes beside the library, where the library looks for it.
install(TARGETS VelkorSlanjeEMaila26 VelkorSlanjeEMaila26-composer
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES ${CMAKE_SOURCE_DIR}/include/VelkorSlanjeEMaila26.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
file(RELATIVE_PATH VELKOR_PC_PREFIX "/p/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/p")
configure_file(${CMAKE_SOURCE_DIR}/cmake/VelkorSlanjeEMaila26.pc.in
               ${CMAKE_BINARY_DIR}/VelkorSlanjeEMaila26.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/VelkorSlanjeEMaila26.pc
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
# The sample database and any per-language data under data/, without their generators.
install(DIRECTORY ${CMAKE_SOURCE_DIR}/data/ DESTINATION ${CMAKE_INSTALL_DATADIR}/velkor
        PATTERN "*.py" EXCLUDE PATTERN "__pycache__" EXCLUDE)

# The demo host of the build tree points at the build's library and the source tree's data;
# the installed one at the installed copies.
add_executable(velkor-host-installed ${CMAKE_SOURCE_DIR}/host/velkor-host.cpp)
target_include_directories(velkor-host-installed PRIVATE ${CMAKE_SOURCE_DIR}/include)
target_link_libraries(velkor-host-installed PRIVATE ${CMAKE_DL_LIBS})
target_compile_definitions(velkor-host-installed PRIVATE
  VELKOR_SAMPLE_DB="${CMAKE_INSTALL_FULL_DATADIR}/velkor/komitenti.sqlite")
set_target_properties(velkor-host-installed PROPERTIES OUTPUT_NAME velkor-host
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/installed)
install(TARGETS velkor-host-installed velkor-sendmail RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velkor-slanje-emaila26)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Velkor <podrska@velkor.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Velkor's e-mail component for its business programs")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION libs)
# Shared libraries are found by dpkg-shlibdeps; what Qt loads at run time is named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libqt6sql6-sqlite")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, xdotool, libqt6sql6-psql, libqt6sql6-odbc")
include(CPack)
