// Test helper: a CGI program run as the web server runs it, a separate process with the
// test's server variables in its environment, the body on standard input and the page on
// standard output; with a settings key and scratch files of the test's own.
#ifndef GATEKEEPER_TESTS_CGI_PROGRAM_RUN_TEST_SUPPORT_H_
#define GATEKEEPER_TESTS_CGI_PROGRAM_RUN_TEST_SUPPORT_H_

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <string>

#include "platform/scratch_directory.h"
#include "websupport/server_variables_for_test.h"
#include "settings/test_settings.h"

namespace gatekeeper {

struct ProgramRun {
  int exitCode = -1;
  std::string output;
  std::string errors;  // what the program wrote to standard error (the web server's error log)
};

class ProgramRunTest : public ::testing::Test {
 protected:
  // program: the executable's path (on Windows its file name, started from its directory).
  ProgramRunTest(const char* program, const char* scriptName)
      : program_(program), server_(scriptName) {}

  // Runs the program once with body on standard input and CONTENT_LENGTH as given (unset
  // when null); the other variables are the ones the test has set.
  ProgramRun run(const std::string& query, const std::string& body = "",
                 const char* contentLength = nullptr) {
    server_.set("QUERY_STRING", query.c_str());
    server_.set("CONTENT_LENGTH", contentLength);
    return runPrepared(body);
  }
  // The same with a form body and its length, as a browser posts it.
  ProgramRun post(const std::string& query, const std::string& body) {
    return run(query, body, std::to_string(body.size()).c_str());
  }

  // Starts the program with the environment as it stands; safe to call from another thread
  // once the variables are set.
  ProgramRun runPrepared(const std::string& body) {
    const int number = runs_++;
    const std::string input = settings_.file("in" + std::to_string(number));
    const std::string output = settings_.file("out" + std::to_string(number));
    const std::string errors = settings_.file("err" + std::to_string(number));
    platform::writeWholeFile(input, body);
    std::string command = quoted(program_) + " < " + quoted(input) + " > " + quoted(output) +
                          " 2> " + quoted(errors);
#ifdef _WIN32
    // cmd.exe drops the outermost pair of quotes of a command line holding several.
    command.insert(0, 1, '"');
    command.push_back('"');
    const int exitCode = std::system(command.c_str());
#else
    const int status = std::system(command.c_str());
    const int exitCode = (status >> 8) & 0xFF;  // the wait status holds the code above 8 bits
#endif
    return ProgramRun{exitCode, platform::readWholeFile(output),
                      withLineFeeds(platform::readWholeFile(errors))};
  }

  // Standard error is a text stream: on Windows its lines end in CR LF. Compared as lines.
  static std::string withLineFeeds(std::string text) {
    std::size_t at = 0;
    while ((at = text.find("\r\n", at)) != std::string::npos) text.erase(at, 1);
    return text;
  }

  static std::string quoted(const std::string& text) { return '"' + text + '"'; }

  std::string program_;
  ServerVariablesForTest server_;
  TestSettings settings_;
  std::atomic<int> runs_{0};
};

}  // namespace gatekeeper

#endif  // GATEKEEPER_TESTS_CGI_PROGRAM_RUN_TEST_SUPPORT_H_
