# Tests of `telbook serve`, included by tools/CMakeLists.txt where the server is built: the HTTP
# interface and the guard (telbook_web_tests, GoogleTest over the built tool), and the editor in
# a real headless Chromium (telbook_browser_tests, Python and Selenium, each step a screenshot).
set(TELBOOK_WEB_TEST_DIR ${CMAKE_CURRENT_LIST_DIR})
add_executable(telbook_web_tests
  ${TELBOOK_WEB_TEST_DIR}/serve_http_test.cc
  ${TELBOOK_WEB_TEST_DIR}/serve_changes_test.cc
  ${TELBOOK_WEB_TEST_DIR}/serve_process.cc
  ${TELBOOK_WEB_TEST_DIR}/security_test.cc
  ${TELBOOK_WEB_TEST_DIR}/reading_order_test.cc
  ${CMAKE_SOURCE_DIR}/tests/tool/posix_tool_runner.cc
  ${CMAKE_SOURCE_DIR}/tests/tool/tool_runner.cc)
# The guard and the reading order are tested on their own, from the tool's code.
target_link_libraries(telbook_web_tests PRIVATE telbook_tool_code ${TELBOOK_TOOL_GTEST})
target_compile_definitions(telbook_web_tests PRIVATE
  TELBOOK_TOOL_PATH="$<TARGET_FILE:telbook_cli>")
add_dependencies(telbook_web_tests telbook_cli)
add_test(NAME telbook_web_tests COMMAND telbook_web_tests)

option(TELBOOK_BROWSER_TESTS "Run the web editor's tests in headless Chromium" ON)
if(TELBOOK_BROWSER_TESTS)
  find_program(TELBOOK_CHROMIUM chromium)
  find_program(TELBOOK_CHROMEDRIVER chromedriver)
  # Debian's Selenium is for Debian's own interpreter, whatever python3 comes first on PATH.
  set(TELBOOK_SYSTEM_PYTHON /usr/bin/python3)
  execute_process(COMMAND ${TELBOOK_SYSTEM_PYTHON} -c "import selenium"
                  RESULT_VARIABLE TELBOOK_NO_SELENIUM OUTPUT_QUIET ERROR_QUIET)
  if(TELBOOK_CHROMIUM AND TELBOOK_CHROMEDRIVER AND TELBOOK_NO_SELENIUM EQUAL 0)
    add_test(NAME telbook_browser_tests
             COMMAND ${TELBOOK_SYSTEM_PYTHON} ${TELBOOK_WEB_TEST_DIR}/browser_test.py
                     --tool $<TARGET_FILE:telbook_cli> --chromium ${TELBOOK_CHROMIUM}
                     --chromedriver ${TELBOOK_CHROMEDRIVER}
                     --screenshots ${CMAKE_BINARY_DIR}/screenshots)
    set_tests_properties(telbook_browser_tests PROPERTIES TIMEOUT 900)
  else()
    message(STATUS "telbook: the browser tests need chromium, chromium-driver and "
                   "python3-selenium (Debian); not run")
  endif()
endif()
