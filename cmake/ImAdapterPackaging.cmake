# What an installed tree and the packages hold, by component:
#   runtime      the library (Windows: im_adapter.dll stripped, with its
#                symbols in im_adapter.dll.debug), the README and the licence
#   development  the headers, the CMake package (im_adapter::im_adapter), the
#                pkg-config file, and the import library on Windows
#   demo         the reference host program and the stand-in plugins (see
#                plugins/CMakeLists.txt for where they go)
# CPack makes Debian packages of runtime and development on Linux, and one ZIP
# of both on Windows.
include(CMakePackageConfigHelpers)

set(IM_CMAKE_DIR lib/cmake/im_adapter)
install(DIRECTORY include/im_adapter ${IM_GENERATED_INCLUDE_DIR}/im_adapter DESTINATION include
  COMPONENT development)
install(EXPORT im_adapterTargets NAMESPACE im_adapter:: DESTINATION ${IM_CMAKE_DIR}
  COMPONENT development)
configure_package_config_file(cmake/im_adapterConfig.cmake.in
  ${PROJECT_BINARY_DIR}/im_adapterConfig.cmake INSTALL_DESTINATION ${IM_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/im_adapterConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/im_adapterConfig.cmake
  ${PROJECT_BINARY_DIR}/im_adapterConfigVersion.cmake DESTINATION ${IM_CMAKE_DIR}
  COMPONENT development)
configure_file(cmake/im_adapter.pc.in ${PROJECT_BINARY_DIR}/im_adapter.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/im_adapter.pc DESTINATION lib/pkgconfig COMPONENT development)

if(WIN32)
  install(FILES README.md LICENSE DESTINATION . COMPONENT runtime)
else()
  install(FILES README.md LICENSE DESTINATION share/doc/im_adapter COMPONENT runtime)
endif()

set(CPACK_PACKAGE_NAME im_adapter)
set(CPACK_PACKAGE_VENDOR "the im_adapter authors")
set(CPACK_PACKAGE_CONTACT "im_adapter maintainers <im_adapter@example.org>")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_COMPONENTS_ALL runtime development)
set(CPACK_COMPONENT_DEVELOPMENT_DEPENDS runtime)
# First line: the Debian synopsis; the rest: the extended description.
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION "library between a chat client's host and its plugins
im_adapter sits between the user-interface host of a desktop chat client and
the client's IM service, message store and offline-file plugins, which it
finds in its own folder. Every message it passes is a JSON text.")
set(CPACK_COMPONENT_DEVELOPMENT_DESCRIPTION "development files of im_adapter
The C headers of im_adapter, its CMake package (im_adapter::im_adapter) and
its pkg-config file (im_adapter).")
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  # One ZIP of the listed components.
  set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
  set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
  set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY ON)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(CPACK_SYSTEM_NAME win32)
  else()
    set(CPACK_SYSTEM_NAME win64)
  endif()
else()
  set(CPACK_GENERATOR DEB)
  # The component descriptions carry their own synopsis line: CPack puts any
  # summary but its default one in front of them.
  set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_NAME} built using CMake")
  set(CPACK_DEB_COMPONENT_INSTALL ON)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
  set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME libim-adapter${PROJECT_VERSION_MAJOR})
  set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
  set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libim-adapter-dev)
  set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
  set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
  set(CPACK_STRIP_FILES ON)
  set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # The plugins come with the chat client, not with a package: dpkg-shlibdeps
  # reads the stand-ins of the same names only to resolve the library's needs.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR}/plugins)
  set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/cmake/debian/triggers)
  # Debian's per-package documents (copyright, changelog, lintian overrides).
  set(IM_DEBIAN_DIR ${PROJECT_SOURCE_DIR}/cmake/debian)
  configure_file(cmake/debian/DebianDocs.cmake.in ${PROJECT_BINARY_DIR}/DebianDocs.cmake @ONLY)
  set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_BINARY_DIR}/DebianDocs.cmake)
endif()
include(CPack)
