// How gatekeeper writes values of the database: plain text for people (control characters
// shown as "\xHH", so that a stored text cannot drive the terminal; columns aligned) and JSON
// strings for programs. Names and texts of the database are ISO-8859-1 bytes, as the pages
// declare them; JSON carries each byte from 0x80 on as the character of that code.
#ifndef GATEKEEPER_CLI_OUTPUT_TEXT_H_
#define GATEKEEPER_CLI_OUTPUT_TEXT_H_

#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace gatekeeper::cli {

// text with every control character (C0, DEL, C1) and the backslash written as "\xHH".
std::string plainText(std::string_view text);

// Writes rows as columns separated by two blanks, each column as wide as its widest cell; the
// last column is not padded. Cells are written as they are (pass them through plainText).
void writeColumns(std::ostream& out, const std::vector<std::vector<std::string>>& rows);

// text as a JSON string with its quotes: '"' and '\' escaped, control characters and every
// byte from 0x80 on as "\u00HH".
std::string jsonString(std::string_view text);

}  // namespace gatekeeper::cli

#endif  // GATEKEEPER_CLI_OUTPUT_TEXT_H_
