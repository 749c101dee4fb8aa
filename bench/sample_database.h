// A large account database for benchmarks: one authority of `users` users, all mapped to one
// NT account, written in the text format.
#ifndef GATEKEEPER_BENCH_SAMPLE_DATABASE_H_
#define GATEKEEPER_BENCH_SAMPLE_DATABASE_H_

#include <fstream>
#include <functional>
#include <string>

namespace gatekeeper::bench {

inline std::string userName(int i) { return "user" + std::to_string(i); }

inline std::string samplePassword(int i) { return "pw" + std::to_string(i); }

// Lines end in CR LF, as the programs write them, or in lineEnd (a hand-edited file: "\n").
// User i's Password is samplePassword(i), or what storedPassword(i) gives (a hash of it).
inline void writeSampleDatabase(const std::string& path, int users, const std::string& logPath,
                                const char* lineEnd = "\r\n",
                                const std::function<std::string(int)>& storedPassword = {}) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  const std::string e = lineEnd;
  out << "{ MAIN:" << e << "    (string)log=" << logPath << e << "    { SERVERS:" << e
      << "        (string)intranet=Staff" << e << "    } SERVERS;" << e << "} MAIN;" << e
      << "{ ACCOUNTS:" << e << "    { Staff:" << e;
  for (int i = 0; i < users; ++i) {
    const std::string name = userName(i);
    out << "        { " << name << ":" << e << "            (string)Password="
        << (storedPassword ? storedPassword(i) : samplePassword(i)) << e
        << "            (string)MapTo=webuser" << e << "            (string)expiredate=12/31/2037"
        << e << "            (int)disabled=0" << e << "        } " << name << ";" << e;
  }
  out << "    } Staff;" << e << "} ACCOUNTS;" << e << "{ NTACCOUNTS:" << e << "    { webuser:" << e
      << "        (string)Password=ntpass" << e << "    } webuser;" << e << "} NTACCOUNTS;" << e;
}

}  // namespace gatekeeper::bench

#endif  // GATEKEEPER_BENCH_SAMPLE_DATABASE_H_
