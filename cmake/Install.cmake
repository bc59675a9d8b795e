# The SDK as a package: the driver library, the headers, a CMake package
# (find_package(Wrenfield)) with its version file, and wrenfield.pc.
include(CMakePackageConfigHelpers)

add_library(wrenfield_headers INTERFACE)
target_include_directories(wrenfield_headers INTERFACE
    $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/include> $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
set_target_properties(wrenfield_headers PROPERTIES EXPORT_NAME headers)
target_link_libraries(wrenfield INTERFACE wrenfield_headers)

install(TARGETS wrenfield wrenfield_headers EXPORT WrenfieldTargets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/wrenfield DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

set(WF_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Wrenfield)
install(EXPORT WrenfieldTargets NAMESPACE Wrenfield:: DESTINATION ${WF_PACKAGE_DIR})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/WrenfieldConfig.cmake.in
    ${CMAKE_CURRENT_BINARY_DIR}/WrenfieldConfig.cmake INSTALL_DESTINATION ${WF_PACKAGE_DIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/WrenfieldConfigVersion.cmake
    VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/WrenfieldConfig.cmake ${CMAKE_CURRENT_BINARY_DIR}/WrenfieldConfigVersion.cmake
    DESTINATION ${WF_PACKAGE_DIR})

file(RELATIVE_PATH WF_PC_PREFIX /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
configure_file(${CMAKE_CURRENT_LIST_DIR}/wrenfield.pc.in ${CMAKE_CURRENT_BINARY_DIR}/wrenfield.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/wrenfield.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
