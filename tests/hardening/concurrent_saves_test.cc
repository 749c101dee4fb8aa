// No lost updates: twenty storing runs of the real CGI programs at once on one account database
// (overseer and steward adding users, rekey changing passwords), while the filter, reloading
// throughout, decides requests of a user that every version of the file holds. Every change is
// in the file afterwards, and no decision was ever made on a torn file.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "configstore/config_file.h"
#include "filter/auth_filter.h"
#include "filter/test_server.h"
#include "platform/scratch_directory.h"
#include "settings/test_settings.h"

namespace gatekeeper {
namespace {

constexpr int kRunsPerProgram[] = {7, 7, 6};  // overseer, steward, rekey: 20 in all

struct StoringRun {
  std::string program;
  std::string scriptName;
  std::string query;
  std::string body;
};

class ConcurrentSavesTest : public ::testing::Test {
 protected:
  std::string database() const { return settings_.file("accounts.cfg"); }

  void writeDatabase() {
    ConfigFile file(database().c_str(), 1);
    ConfigSection* main = file.getOrCreateSection("MAIN");
    main->getOrCreateSection("SERVERS")->setString("intranet|8080", "Staff");
    ConfigSection* staff = file.getOrCreateSection("ACCOUNTS")->getOrCreateSection("Staff");
    ConfigSection* anchor = staff->getOrCreateSection("anchor");
    anchor->setString("Password", "steady");
    anchor->setString("MapTo", "web");
    for (int i = 0; i < kRunsPerProgram[2]; ++i) {
      staff->getOrCreateSection(("rekeyed" + std::to_string(i)).c_str())
          ->setString("Password", "old");
    }
    // Enough users that a save takes a while: a reader that could see half a file would.
    for (int i = 0; i < 5000; ++i) {
      ConfigSection* user = staff->getOrCreateSection(("filler" + std::to_string(i)).c_str());
      user->setString("Password", "p");
      user->setString("MapTo", "web");
    }
    file.getOrCreateSection("NTACCOUNTS")->getOrCreateSection("web")->setString("Password", "nt");
    ASSERT_EQ(file.save(), 1);
    ASSERT_TRUE(TestSettings::store("Configuration File", database()));
  }

  // Runs the program as the web server would, with the request's variables in its own
  // environment; returns its page.
  std::string run(const StoringRun& request, int number) {
    const std::string input = settings_.file("in" + std::to_string(number));
    const std::string output = settings_.file("out" + std::to_string(number));
    platform::writeWholeFile(input, request.body);
    const std::string command =
        "env QUERY_STRING='" + request.query + "' CONTENT_LENGTH=" +
        std::to_string(request.body.size()) + " SCRIPT_NAME=" + request.scriptName +
        " SERVER_NAME=intranet SERVER_PORT=8080 REQUEST_METHOD=POST '" + request.program +
        "' < '" + input + "' > '" + output + "'";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return platform::readWholeFile(output);
  }

  TestSettings settings_;
};

TEST_F(ConcurrentSavesTest, EveryChangeOfTwentyConcurrentRunsSurvives) {
  writeDatabase();
  std::vector<StoringRun> runs;
  const std::string userFields = "&Pass=pw&MapTo=ON&NTAcc=web&Expire=&noexpiration=1&B1=Submit";
  for (int i = 0; i < kRunsPerProgram[0]; ++i) {
    runs.push_back({OVERSEER_PROGRAM, "/cgi-bin/overseer", "Action=AddUserDo",
                    "Authority=Staff&User=byoverseer" + std::to_string(i) + userFields});
  }
  for (int i = 0; i < kRunsPerProgram[1]; ++i) {
    runs.push_back({STEWARD_PROGRAM, "/cgi-bin/steward", "Action=AddUserDo",
                    "User=bysteward" + std::to_string(i) + userFields});
  }
  for (int i = 0; i < kRunsPerProgram[2]; ++i) {
    const std::string user = "rekeyed" + std::to_string(i);
    runs.push_back({REKEY_PROGRAM, "/cgi-bin/rekey", "Action=editdo",
                    "User=" + user + "&Pass=old&Newpass=new" + std::to_string(i) + "&Newpass1=new" +
                        std::to_string(i) + "&B1=Change"});
  }
  // Interleave the programs so that all three kinds overlap.
  std::vector<StoringRun> mixed;
  for (std::size_t i = 0; i < runs.size(); ++i) mixed.push_back(runs[(i * 7) % runs.size()]);

  AuthFilter filter;
  ASSERT_TRUE(filter.loaded());
  std::atomic<int> finished{0};
  std::vector<std::string> pages(mixed.size());
  std::vector<std::thread> threads;
  for (std::size_t i = 0; i < mixed.size(); ++i) {
    threads.emplace_back([&, i] {
      pages[i] = run(mixed[i], static_cast<int>(i));
      ++finished;
    });
  }

  // The filter decides the anchor's requests all along; each decision reloads when the file
  // changed. Any decision on a torn file would refuse the anchor or pass it on untouched.
  TestRequest request;
  request.variables["SERVER_PORT"] = "8080";
  request.user = "anchor";
  request.password = "steady";
  int decisions = 0;
  int wrong = 0;
  int reloads = 0;
  const auto decide = [&] {
    if (filter.reloadIfChanged()) ++reloads;
    const TestOutcome outcome = sendAuthentication(
        [&filter](HTTP_FILTER_CONTEXT* pfc, DWORD, void* data) {
          return filter.handleAuthentication(pfc, static_cast<HTTP_FILTER_AUTHENT*>(data));
        },
        request);
    ++decisions;
    if (outcome.status != SF_STATUS_REQ_HANDLED_NOTIFICATION || outcome.user != "web" ||
        outcome.password != "nt") {
      ++wrong;
    }
  };
  while (finished.load() < static_cast<int>(mixed.size())) decide();
  for (std::thread& thread : threads) thread.join();
  decide();  // on the final file
  EXPECT_EQ(wrong, 0) << "of " << decisions << " decisions";
  EXPECT_GT(reloads, 0);
  std::printf("[ figures  ] %d decisions, %d reloads during %zu storing runs\n", decisions,
              reloads, mixed.size());

  for (std::size_t i = 0; i < pages.size(); ++i) {
    const bool stored = pages[i].find(" added to authority ") != std::string::npos ||
                        pages[i].find(" Password canged") != std::string::npos;
    EXPECT_TRUE(stored) << mixed[i].body << "\n" << pages[i];
  }
  ConfigFile after(database().c_str(), 1);
  ASSERT_EQ(after.load(), 1);
  ConfigSection* staff = after.sectionByName("ACCOUNTS")->sectionByName("Staff");
  for (int i = 0; i < kRunsPerProgram[0]; ++i) {
    EXPECT_FALSE(staff->sectionByName(("byoverseer" + std::to_string(i)).c_str())->isPlaceholder())
        << i;
  }
  for (int i = 0; i < kRunsPerProgram[1]; ++i) {
    EXPECT_FALSE(staff->sectionByName(("bysteward" + std::to_string(i)).c_str())->isPlaceholder())
        << i;
  }
  for (int i = 0; i < kRunsPerProgram[2]; ++i) {
    EXPECT_EQ(std::string(staff->sectionByName(("rekeyed" + std::to_string(i)).c_str())
                              ->valueByName("Password")
                              ->getString()),
              "new" + std::to_string(i));
  }
  EXPECT_FALSE(staff->sectionByName("filler4999")->isPlaceholder());
}

}  // namespace
}  // namespace gatekeeper
