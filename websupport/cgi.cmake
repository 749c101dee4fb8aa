# CGI support: request reader and form collections, response writers, self-links, form pieces,
# HTML escaping, and what storing pages share (the cross-site check, the database lock, the report of
# a failed save, the error log, the guard of the programs that serve direct logons only).
target_sources(websupport PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/action_link.cc
  ${CMAKE_CURRENT_LIST_DIR}/cross_site_check.cc
  ${CMAKE_CURRENT_LIST_DIR}/database_lock.cc
  ${CMAKE_CURRENT_LIST_DIR}/direct_logon.cc
  ${CMAKE_CURRENT_LIST_DIR}/error_log.cc
  ${CMAKE_CURRENT_LIST_DIR}/form_fields.cc
  ${CMAKE_CURRENT_LIST_DIR}/form_markup.cc
  ${CMAKE_CURRENT_LIST_DIR}/html_escape.cc
  ${CMAKE_CURRENT_LIST_DIR}/leading_number.cc
  ${CMAKE_CURRENT_LIST_DIR}/page_style.cc
  ${CMAKE_CURRENT_LIST_DIR}/request_reader.cc
  ${CMAKE_CURRENT_LIST_DIR}/response_writer.cc
  ${CMAKE_CURRENT_LIST_DIR}/save_report.cc
  ${CMAKE_CURRENT_LIST_DIR}/server_variables.cc
  ${CMAKE_CURRENT_LIST_DIR}/share_lock.cc
  ${CMAKE_CURRENT_LIST_DIR}/url_encoding.cc)

gatekeeper_test(websupport_cgi_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/cross_site_check_test.cc
    ${CMAKE_CURRENT_LIST_DIR}/direct_logon_test.cc
    ${CMAKE_CURRENT_LIST_DIR}/error_log_test.cc
    ${CMAKE_CURRENT_LIST_DIR}/form_fields_test.cc
    ${CMAKE_CURRENT_LIST_DIR}/request_reader_test.cc
    ${CMAKE_CURRENT_LIST_DIR}/response_writer_test.cc
    ${CMAKE_CURRENT_LIST_DIR}/share_lock_test.cc
    ${CMAKE_CURRENT_LIST_DIR}/storing_test.cc
    ${CMAKE_CURRENT_LIST_DIR}/url_encoding_test.cc
  LIBS websupport)
