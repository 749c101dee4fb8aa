# The settings key: the Windows registry, or its directory emulation elsewhere.
gatekeeper_platform_source(settings_key_impl ${CMAKE_CURRENT_LIST_DIR}/settings_key)
target_sources(websupport PRIVATE ${settings_key_impl})

gatekeeper_test(websupport_settings_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/settings_key_test.cc
  LIBS websupport)
# The tests below HKEY_LOCAL_MACHINE share the registry with other tests of the settings key.
if(GATEKEEPER_TESTS)
  set_tests_properties(websupport_settings_test PROPERTIES RESOURCE_LOCK settings_key)
endif()

# The settings key as the tests of every program set it up.
if(GATEKEEPER_TESTS)
  add_library(websupport_test_support STATIC ${CMAKE_CURRENT_LIST_DIR}/test_settings.cc)
  target_link_libraries(websupport_test_support PUBLIC websupport platform)
endif()
