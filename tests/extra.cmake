# Tests beyond the one-program-per-subsystem rule of this folder.

# The sample folders' test reads the same manifest as the build.
target_sources(test_folders PRIVATE ${CMAKE_SOURCE_DIR}/resources/SampleManifest.cpp)
target_include_directories(test_folders PRIVATE ${CMAKE_SOURCE_DIR}/resources)
target_compile_definitions(test_folders PRIVATE CHRONOPURGE_SAMPLES_MANIFEST="${CHRONOPURGE_SAMPLES_MANIFEST}"
    CHRONOPURGE_MAKE_SAMPLES="$<TARGET_FILE:make_samples>")
add_dependencies(test_folders sample_folders make_samples)
add_dependencies(test_app hand_cursor)

# Screenshots: each window rendered offscreen to a PNG file. Labelled
# "screenshots" so that only `./test --screenshots DIR` runs them.
add_executable(test_screenshots screenshots/ScreenshotTest.cpp screenshots/Form2ScreenshotTest.cpp)
target_include_directories(test_screenshots PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/results)
target_link_libraries(test_screenshots PRIVATE test_support)
target_precompile_headers(test_screenshots REUSE_FROM test_support)
gtest_discover_tests(test_screenshots
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "${test_environment}" LABELS screenshots TIMEOUT 120)

# The real program started under Xvfb on the xcb platform; skipped where Xvfb cannot run.
add_test(NAME Smoke.ProgramShowsItsWindowUnderXvfb
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/smoke/start_under_xvfb.sh $<TARGET_FILE:chronopurge>)
set_tests_properties(Smoke.ProgramShowsItsWindowUnderXvfb PROPERTIES
    SKIP_RETURN_CODE 77 LABELS smoke TIMEOUT 240)

# The command line's tests run the built program, and test the parts of it
# that other programs read (records, lists, rules) directly.
add_dependencies(test_cli chronopurge-cli)
target_sources(test_cli PRIVATE ${CMAKE_SOURCE_DIR}/src/cli/RecordPrinter.cpp ${CMAKE_SOURCE_DIR}/src/cli/TrashList.cpp
    ${CMAKE_SOURCE_DIR}/src/cli/RuleFile.cpp)
# The records' printer and the list reader use the console text and the system calls of their platform.
if(WIN32)
  target_sources(test_cli PRIVATE ${CMAKE_SOURCE_DIR}/src/cli/ConsoleText_windows.cpp ${CMAKE_SOURCE_DIR}/src/cli/CliSystem_windows.cpp)
else()
  target_sources(test_cli PRIVATE ${CMAKE_SOURCE_DIR}/src/cli/ConsoleText_posix.cpp ${CMAKE_SOURCE_DIR}/src/cli/CliSystem_posix.cpp)
endif()

# The shell completions of chronopurge-cli: bash runs them, zsh checks their syntax where installed.
add_test(NAME Cli.ShellCompletion
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/cli/completion_test.sh ${CMAKE_SOURCE_DIR}/src/cli/completion ${CHRONOPURGE_PROGRAM_DIR})
set_tests_properties(Cli.ShellCompletion PROPERTIES LABELS cli TIMEOUT 60)

# The program's own tests of its command line run the built program.
add_dependencies(test_app chronopurge)

# `cmake --install` into a temporary prefix, the validators on what it installs,
# and the installed program started from there.
add_test(NAME Install.IntoATemporaryPrefix
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/install/check_install.sh ${CMAKE_BINARY_DIR} ${CMAKE_SOURCE_DIR})
# It runs alone: while it copies the build's samples their accessed dates move.
set_tests_properties(Install.IntoATemporaryPrefix PROPERTIES LABELS install TIMEOUT 120 RUN_SERIAL TRUE)

# The Debian package of this build, checked by lintian where it is installed.
# Alone for the same reason.
add_test(NAME Install.DebianPackageIsLintianClean
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/install/check_package.sh ${CMAKE_BINARY_DIR})
set_tests_properties(Install.DebianPackageIsLintianClean PROPERTIES
    LABELS install TIMEOUT 600 RUN_SERIAL TRUE SKIP_RETURN_CODE 77)
# The translation's test reads the .qm files built beside the program.
add_dependencies(test_app translations)
add_dependencies(test_screenshots translations)
# The identity test reads the menu entry and the metainfo from the sources.
target_compile_definitions(test_app PRIVATE CHRONOPURGE_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
# The translation's test runs lupdate over the sources to find texts the .ts lacks.
target_compile_definitions(test_app PRIVATE CHRONOPURGE_LUPDATE="$<TARGET_FILE:Qt6::lupdate>")

# Picker dates stored under one language and read under the other (issue 18):
# the same test of the second window under German and under English.
foreach(language de_DE en_US)
  add_test(NAME Form2Test.Issue18_StoredDatesReadUnder_${language}
      COMMAND test_results --gtest_filter=Form2Test.Issue18_DatesStoredUnderTheOtherLanguage*)
  set_tests_properties(Form2Test.Issue18_StoredDatesReadUnder_${language} PROPERTIES
      ENVIRONMENT "LC_ALL=${language}.UTF-8;${test_environment}" LABELS results TIMEOUT 120)
endforeach()
# The command line's tests read its manual page from the sources.
target_compile_definitions(test_cli PRIVATE CHRONOPURGE_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
# The clipboard after the program's end: a small program copies and ends as
# the window does; the test reads the clipboard, and plays a clipboard
# manager, over libxcb.
add_executable(clipboard_exit_probe programs/clipboard_exit_probe.cpp)
target_link_libraries(clipboard_exit_probe PRIVATE gui)
set_target_properties(clipboard_exit_probe PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CHRONOPURGE_PROGRAM_DIR})
add_dependencies(test_platform clipboard_exit_probe chronopurge-keep-clipboard)
target_include_directories(test_platform PRIVATE ${X11_xcb_INCLUDE_PATH})
target_link_libraries(test_platform PRIVATE ${X11_xcb_LIB})

# chronopurge-cli --trash killed at random moments: ten runs of 2,000 files on
# a tmpfs (root only). A program of its own with a longer time limit, since a
# loaded machine stretches its twenty runs of the program.
add_executable(test_crash crash/TrashKillTest.cpp)
target_link_libraries(test_crash PRIVATE test_support)
target_precompile_headers(test_crash REUSE_FROM test_support)
add_dependencies(test_crash chronopurge-cli)
gtest_discover_tests(test_crash
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "${test_environment}" LABELS cli TIMEOUT 400)
