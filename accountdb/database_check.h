// The check of an account database file: what in it the filter would trip over, found with the
// rules the filter and the pages apply (binding key, name comparison, expiry dates, storable
// names), one line per problem, for a person to read.
#ifndef GATEKEEPER_ACCOUNTDB_DATABASE_CHECK_H_
#define GATEKEEPER_ACCOUNTDB_DATABASE_CHECK_H_

#include <string>
#include <vector>

namespace gatekeeper::accountdb {

// Reads the account database file at path and returns one line per problem that the filter
// would trip over, in file order; empty when there is none. Lines that concern a place in the
// file start with "line N: " (lines counted from 1). The file is only read.
//
// Ahead of the others:
//   - a file that cannot be read: the single line "cannot read PATH: REASON", the system's
//     reason; nothing else is checked;
//   - a file that the filter does not load (it ends inside an open section): where the load
//     stops and which section is left open. What was read is then checked as below.
// Then, ordered by line (lines about no place in the file first):
//   - lines the format cannot read (the load skips them), binary blocks never closed, lines
//     longer than the format's line buffer;
//   - a database without MAIN or MAIN/SERVERS: the filter handles no site;
//   - bindings that no request can match (a port part that the server never reports, or port
//     80 spelled out), that name an authority ACCOUNTS does not hold, or whose host the
//     database cannot store;
//   - users mapped to nothing or to an NT account NTACCOUNTS does not hold, expiry dates that
//     do not read or lie after 2037, users without a date where the authority requires one
//     (unless noexpiration is set), users hidden by an authority value of the same name,
//     passwords hashed in a scheme this system cannot verify (a Linux hash on Windows);
//     users not mapped (DoNotMap) are checked for their name and flags only;
//   - flags that hold no number (written as text), which read as unset;
//   - names and passwords the database cannot store; NT accounts whose name or password is
//     longer than the server's credential buffers are sure to hold;
//   - two authorities, two users of one authority, two NT accounts, two bindings or two
//     top-level sections whose names differ in letter case at most: which one the filter takes.
// Disabled users are checked like the others: they are refused now, the faults show once they
// are enabled. Names are quoted; control characters in them are written as \xNN.
std::vector<std::string> checkDatabaseFile(const std::string& path);

}  // namespace gatekeeper::accountdb

#endif  // GATEKEEPER_ACCOUNTDB_DATABASE_CHECK_H_
