# The Windows build: the Qt and compiler DLLs and Qt's plugins are copied
# beside the programs at every build (so the build folder runs as it is, under
# Wine too), and `cmake --build build-windows --target package` makes
# chronopurge-<version>-windows-x86_64.zip of that folder: the two programs,
# the DLLs, the plugins, the hand cursor, the sample folders, the
# translations, LICENSE and README.

get_filename_component(qt_prefix "${Qt6_DIR}/../../.." ABSOLUTE)

# The compiler's own runtime, wherever this compiler keeps it.
set(runtime_dlls)
foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                  OUTPUT_VARIABLE found OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT IS_ABSOLUTE "${found}" OR NOT EXISTS "${found}")
    find_file(found_${dll} ${dll} PATHS /usr/${TOOLCHAIN_PREFIX}/lib /usr/x86_64-w64-mingw32/lib NO_CACHE
              NO_CMAKE_FIND_ROOT_PATH REQUIRED)
    set(found ${found_${dll}})
  endif()
  list(APPEND runtime_dlls ${found})
endforeach()

set(qt_dlls $<TARGET_FILE:Qt6::Core> $<TARGET_FILE:Qt6::Gui> $<TARGET_FILE:Qt6::Widgets>)
if(CHRONOPURGE_TESTS)
  list(APPEND qt_dlls $<TARGET_FILE:Qt6::Test>)
endif()
set(plugins platforms/qwindows.dll platforms/qminimal.dll styles/qwindowsvistastyle.dll imageformats/qico.dll)

set(copy_commands COMMAND ${CMAKE_COMMAND} -E copy_if_different ${qt_dlls} ${runtime_dlls} ${CHRONOPURGE_PROGRAM_DIR})
foreach(plugin IN LISTS plugins)
  get_filename_component(kind ${plugin} DIRECTORY)
  list(APPEND copy_commands
       COMMAND ${CMAKE_COMMAND} -E make_directory ${CHRONOPURGE_PROGRAM_DIR}/${kind}
       COMMAND ${CMAKE_COMMAND} -E copy_if_different ${qt_prefix}/plugins/${plugin} ${CHRONOPURGE_PROGRAM_DIR}/${kind})
endforeach()
add_custom_target(windows_runtime ALL ${copy_commands} COMMENT "Copying the Qt and runtime DLLs beside the programs")

install(TARGETS chronopurge chronopurge-cli RUNTIME DESTINATION .)
install(FILES ${qt_dlls} ${runtime_dlls} ${CHRONOPURGE_PROGRAM_DIR}/HAND-M.CUR DESTINATION .)
install(DIRECTORY ${CHRONOPURGE_PROGRAM_DIR}/platforms ${CHRONOPURGE_PROGRAM_DIR}/styles
                  ${CHRONOPURGE_PROGRAM_DIR}/imageformats ${CHRONOPURGE_PROGRAM_DIR}/Samples
                  ${CHRONOPURGE_PROGRAM_DIR}/translations
        DESTINATION .)
install(FILES ${CMAKE_SOURCE_DIR}/LICENSE DESTINATION . RENAME LICENSE.txt)
install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION . RENAME README.txt)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME chronopurge)
set(CPACK_PACKAGE_VENDOR Brindlewick)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME chronopurge-${PROJECT_VERSION}-windows-x86_64)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
