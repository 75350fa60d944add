# What `cmake --install` puts under the prefix: the public headers (the source trees' and the generated
# ones), the library, velsh and velroute, the CMake package (find_package(Vel) -> Vel::vel, with a
# version file) and the pkg-config file vel.pc.
include(CMakePackageConfigHelpers)

foreach(dir zat/include ipkit/include Vel/include VelL3V2Shared/include platform/include)
  install(DIRECTORY ${VEL_ROOT}/${dir}/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} FILES_MATCHING PATTERN "*.h")
endforeach()
install(DIRECTORY ${PROJECT_BINARY_DIR}/Vel/generated/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
        FILES_MATCHING PATTERN "*.h")

# The tools find the library beside them after installation.
set_target_properties(velsh velroute PROPERTIES INSTALL_RPATH "$ORIGIN/../${CMAKE_INSTALL_LIBDIR}")
install(TARGETS vel EXPORT VelTargets LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(TARGETS velsh velroute RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

set(VEL_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Vel)
install(EXPORT VelTargets NAMESPACE Vel:: DESTINATION ${VEL_CMAKE_DIR})
configure_package_config_file(${VEL_ROOT}/cmake/VelConfig.cmake.in ${PROJECT_BINARY_DIR}/VelConfig.cmake
                              INSTALL_DESTINATION ${VEL_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/VelConfigVersion.cmake COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/VelConfig.cmake ${PROJECT_BINARY_DIR}/VelConfigVersion.cmake
        DESTINATION ${VEL_CMAKE_DIR})

# vel.pc finds the prefix from its own place, so that an installed tree can be moved.
file(RELATIVE_PATH VEL_PC_PREFIX /root/${CMAKE_INSTALL_LIBDIR}/pkgconfig /root)
configure_file(${VEL_ROOT}/cmake/vel.pc.in ${PROJECT_BINARY_DIR}/vel.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/vel.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
