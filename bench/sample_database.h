// A large account database for benchmarks: one authority of `users` users, all mapped to one
// NT account, written in the text format.
#ifndef GATEKEEPER_BENCH_SAMPLE_DATABASE_H_
#define GATEKEEPER_BENCH_SAMPLE_DATABASE_H_

#include <fstream>
#include <string>

namespace gatekeeper::bench {

inline std::string userName(int i) { return "user" + std::to_string(i); }

inline void writeSampleDatabase(const std::string& path, int users, const std::string& logPath) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << "{ MAIN:\r\n    (string)log=" << logPath
      << "\r\n    { SERVERS:\r\n        (string)intranet=Staff\r\n    } SERVERS;\r\n} MAIN;\r\n"
      << "{ ACCOUNTS:\r\n    { Staff:\r\n";
  for (int i = 0; i < users; ++i) {
    const std::string name = userName(i);
    out << "        { " << name << ":\r\n"
        << "            (string)Password=pw" << i << "\r\n"
        << "            (string)MapTo=webuser\r\n"
        << "            (string)expiredate=12/31/2037\r\n"
        << "            (int)disabled=0\r\n"
        << "        } " << name << ";\r\n";
  }
  out << "    } Staff;\r\n} ACCOUNTS;\r\n{ NTACCOUNTS:\r\n    { webuser:\r\n"
      << "        (string)Password=ntpass\r\n    } webuser;\r\n} NTACCOUNTS;\r\n";
}

}  // namespace gatekeeper::bench

#endif  // GATEKEEPER_BENCH_SAMPLE_DATABASE_H_
