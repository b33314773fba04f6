# Tests of the Windows saver: the resource script against the dialog's description (here), and
# the cross-built programs, checked with objdump and run under Wine in Xvfb (tests/windows/).
add_executable(windows_rc_test ${CMAKE_CURRENT_LIST_DIR}/windows/rc_test.cpp)
target_link_libraries(windows_rc_test PRIVATE GTest::gtest_main)
target_include_directories(windows_rc_test PRIVATE ${PROJECT_SOURCE_DIR})
target_compile_definitions(windows_rc_test
                           PRIVATE TELVOR_RESOURCES_DIR="${PROJECT_SOURCE_DIR}/resources")
gtest_discover_tests(windows_rc_test)

# Each script builds build-win32/ and build-win64/ first (scripts/build-windows.sh) and works in
# its own scratch folder; they share the cross builds and one Wine prefix, so they run one at a
# time, after the set-up that makes the prefix afresh.
set(windows_scripts ${CMAKE_CURRENT_LIST_DIR}/windows)
set(windows_scratch ${CMAKE_BINARY_DIR}/windows-tests)
set(TELVOR_SOAK_LUNATIONS 20 CACHE STRING "Lunations of the Windows soak test (about 30 s each)")
add_test(NAME windows_wine_prefix COMMAND sh ${windows_scripts}/wine-prefix.sh
                                          ${windows_scratch}/prefix)
add_test(NAME windows_pe_check COMMAND sh ${windows_scripts}/check-pe.sh ${windows_scratch}/pe)
add_test(NAME windows_wine_fullscreen COMMAND sh ${windows_scripts}/wine-fullscreen.sh
                                              ${windows_scratch}/fullscreen)
add_test(NAME windows_wine_preview COMMAND sh ${windows_scripts}/wine-preview.sh
                                           ${windows_scratch}/preview)
add_test(NAME windows_wine_configure COMMAND sh ${windows_scripts}/wine-configure.sh
                                             ${windows_scratch}/configure)
add_test(NAME windows_wine_settings_readonly
         COMMAND sh ${windows_scripts}/wine-settings-readonly.sh ${windows_scratch}/readonly)
add_test(NAME windows_wine_about COMMAND sh ${windows_scripts}/wine-about.sh
                                         ${windows_scratch}/about)
add_test(NAME windows_wine_monitors COMMAND sh ${windows_scripts}/wine-monitors.sh
                                            ${windows_scratch}/monitors)
add_test(NAME windows_wine_msi COMMAND sh ${windows_scripts}/wine-msi.sh ${windows_scratch}/msi)
add_test(NAME windows_wine_soak COMMAND sh ${windows_scripts}/wine-soak.sh ${windows_scratch}/soak
                                        ${TELVOR_SOAK_LUNATIONS})
set_tests_properties(windows_wine_prefix PROPERTIES FIXTURES_SETUP telvor_wine TIMEOUT 900
                                                    RESOURCE_LOCK telvor_windows)
set_tests_properties(windows_pe_check PROPERTIES TIMEOUT 900 RESOURCE_LOCK telvor_windows)
set_tests_properties(windows_wine_fullscreen windows_wine_preview windows_wine_configure
                     windows_wine_settings_readonly windows_wine_about windows_wine_monitors
                     windows_wine_msi
                     PROPERTIES FIXTURES_REQUIRED telvor_wine TIMEOUT 300
                                RESOURCE_LOCK telvor_windows)
math(EXPR soak_timeout "${TELVOR_SOAK_LUNATIONS} * 120 + 300")
# Label "soak": the long run, which a hurried run can leave out (ctest -LE soak) or shorten with
# TELVOR_SOAK_LUNATIONS.
set_tests_properties(windows_wine_soak PROPERTIES FIXTURES_REQUIRED telvor_wine
                                                  TIMEOUT ${soak_timeout}
                                                  RESOURCE_LOCK telvor_windows LABELS "wine;soak")
# The Windows build against the Linux one: the same lunation start and first visible place.
if(TARGET telvor)
  add_test(NAME windows_wine_parity COMMAND sh ${windows_scripts}/wine-parity.sh
                                            ${windows_scratch}/parity $<TARGET_FILE:telvor>)
  set_tests_properties(windows_wine_parity PROPERTIES FIXTURES_REQUIRED telvor_wine TIMEOUT 600
                                                      RESOURCE_LOCK telvor_windows)
  # telvor.exe against telvor: lunation traces and a moon batch, byte for byte.
  add_test(NAME windows_wine_telvor_parity
           COMMAND sh ${windows_scripts}/wine-telvor-parity.sh ${windows_scratch}/telvor-parity
                   $<TARGET_FILE:telvor>)
  set_tests_properties(windows_wine_telvor_parity PROPERTIES FIXTURES_REQUIRED telvor_wine
                                                             TIMEOUT 1500
                                                             RESOURCE_LOCK telvor_windows)
  # telvor.exe's render against telvor's: the saver's pictures, pixel for pixel.
  add_test(NAME windows_wine_render_parity
           COMMAND sh ${windows_scripts}/wine-render-parity.sh ${windows_scratch}/render-parity
                   $<TARGET_FILE:telvor>)
  set_tests_properties(windows_wine_render_parity PROPERTIES FIXTURES_REQUIRED telvor_wine
                                                             TIMEOUT 1500
                                                             RESOURCE_LOCK telvor_windows)
  set_tests_properties(windows_wine_parity windows_wine_telvor_parity windows_wine_render_parity
                       PROPERTIES LABELS wine)
  if(TARGET obslog)
    # telvor.exe's observation log and scores against telvor's, byte for byte.
    add_test(NAME windows_wine_obslog_parity
             COMMAND sh ${windows_scripts}/wine-obslog-parity.sh ${windows_scratch}/obslog-parity
                     $<TARGET_FILE:telvor>)
    set_tests_properties(windows_wine_obslog_parity PROPERTIES FIXTURES_REQUIRED telvor_wine
                                                               TIMEOUT 1500
                                                               RESOURCE_LOCK telvor_windows
                                                               LABELS wine)
  endif()
  if(TARGET almanac)
    # telvor.exe's almanac against telvor's: sightings, calendars, a map and its picture, and the
    # almanac's own numbers at full precision (almanac_probe, built for both systems).
    add_executable(almanac_probe ${CMAKE_CURRENT_LIST_DIR}/windows/almanac_probe.cpp)
    target_link_libraries(almanac_probe PRIVATE almanac)
    add_test(NAME windows_wine_almanac_parity
             COMMAND sh ${windows_scripts}/wine-almanac-parity.sh ${windows_scratch}/almanac-parity
                     $<TARGET_FILE:telvor> $<TARGET_FILE:almanac_probe>)
    set_tests_properties(windows_wine_almanac_parity PROPERTIES FIXTURES_REQUIRED telvor_wine
                                                                TIMEOUT 1500
                                                                RESOURCE_LOCK telvor_windows
                                                                LABELS wine)
  endif()
  # telvor.exe against the recorded golden digests: the Windows build's own identity run.
  if(TARGET golden_test)
    add_test(NAME windows_wine_golden COMMAND sh ${windows_scripts}/wine-golden.sh
                                              ${windows_scratch}/golden $<TARGET_FILE:golden_test>)
    set_tests_properties(windows_wine_golden PROPERTIES FIXTURES_REQUIRED telvor_wine TIMEOUT 1500
                                                        RESOURCE_LOCK telvor_windows LABELS wine)
  endif()
endif()
set_tests_properties(windows_wine_prefix windows_pe_check windows_wine_fullscreen
                     windows_wine_preview windows_wine_configure windows_wine_settings_readonly
                     windows_wine_about windows_wine_monitors windows_wine_msi
                     PROPERTIES LABELS wine)
