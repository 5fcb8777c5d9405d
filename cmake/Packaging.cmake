# Debian packages of the project, built by CPack from the install rules
# (`cmake --build build --target package`): one package per component.
#   hvapi          libhvapi.so.0
#   hvapi-dev      hvapi.h, hvapi_lowlevel.h, pkg-config, CMake package
#   launcher-tools launcher, launcher-pack and its CMake function
#   halvsim        the simulated driver (libhalvsim.so) and the halvsim tool
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME halvoran)
set(CPACK_PACKAGE_VENDOR "Halvoran")
set(CPACK_PACKAGE_CONTACT "Halvoran storage manager team <storage@halvoran.invalid>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION libs)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_COMPONENTS_ALL runtime dev launcher simulator)

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME libhvapi0)
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION
  "Halvoran RAID adapter management library\n libhvapi.so.0 drives Halvoran RAID adapters through their Linux driver.")
set(CPACK_DEBIAN_DEV_PACKAGE_NAME libhvapi-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "libhvapi0 (= ${PROJECT_VERSION})")
set(CPACK_COMPONENT_DEV_DESCRIPTION
  "Halvoran RAID adapter management library: development files\n Headers, pkg-config file and CMake package (hvapi::hvapi).")
set(CPACK_DEBIAN_LAUNCHER_PACKAGE_NAME halvoran-launcher-tools)
set(CPACK_DEBIAN_LAUNCHER_PACKAGE_SECTION devel)
set(CPACK_COMPONENT_LAUNCHER_DESCRIPTION
  "Native launcher of Java applications, and launcher-pack\n The launcher program, launcher-pack, which appends a payload to it, and\n the CMake function add_launcher_payload.")
set(CPACK_DEBIAN_SIMULATOR_PACKAGE_NAME halvsim)
set(CPACK_DEBIAN_SIMULATOR_PACKAGE_SECTION devel)
set(CPACK_COMPONENT_SIMULATOR_DESCRIPTION
  "Simulated Halvoran adapter driver and firmware\n libhalvsim.so, preloaded in front of the C library, answers for the\n driver's device nodes; the halvsim tool makes and shows its state files.")
include(CPack)
