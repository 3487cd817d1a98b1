#include "common/numeric_text.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <vector>

#include "common/errors.h"

namespace tepora {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

// A byte that plain text does not hold: control characters other than the
// blanks and line ends, and everything beyond ASCII.
bool IsForeign(unsigned char c) { return (c < 0x20 && c != '\n' && !IsBlank(char(c))) || c >= 0x7f; }

std::string Trimmed(const std::string& s) {
  size_t a = 0, b = s.size();
  while (a < b && IsBlank(s[a])) ++a;
  while (b > a && IsBlank(s[b - 1])) --b;
  return s.substr(a, b - a);
}

// A whole token read as one number (infinities and NaNs included; whether
// they are allowed is for the entry to say).
bool IsNumber(const std::string& token) {
  if (token.empty()) return false;
  char* end = nullptr;
  std::strtod(token.c_str(), &end);
  return end == token.c_str() + token.size();
}

std::vector<std::string> Tokens(const std::string& line, bool commas) {
  std::vector<std::string> out;
  if (commas) {
    std::string field;
    std::istringstream in(line);
    while (std::getline(in, field, ',')) out.push_back(Trimmed(field));
    if (!line.empty() && line.back() == ',') out.emplace_back();
    return out;
  }
  std::istringstream in(line);
  for (std::string t; in >> t;) out.push_back(t);
  return out;
}

// Far beyond any table of settings or material data; a larger file is not
// one of ours.
const off_t kMaxBytes = 64 << 20;

std::string ReadAll(const std::string& path, const std::string& expected) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) {
    if (errno == ENOENT) throw InputError(path + ": missing; expected " + expected);
    throw InputError(path + ": cannot be read (" + std::strerror(errno) + "); expected " +
                     expected);
  }
  if (S_ISDIR(st.st_mode))
    throw InputError(path + ": is a directory; expected a file of " + expected);
  if (!S_ISREG(st.st_mode))
    throw InputError(path + ": is not a regular file (a pipe or a device); expected a file of " +
                     expected);
  if (st.st_size > kMaxBytes)
    throw InputError(path + ": holds " + std::to_string(st.st_size) +
                     " bytes, more than a table of numbers needs; expected " + expected);
  std::ifstream in(path, std::ios::binary);
  if (!in)
    throw InputError(path + ": cannot be read (" + std::strerror(errno) + "); expected " + expected);
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) throw InputError(path + ": cannot be read; expected " + expected);
  return text.str();
}

}  // namespace

bool IsSpecialFile(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode);
}

arma::mat LoadNumericText(const std::string& path, const NumericTextShape& shape) {
  const std::string expected = shape.expected;
  const std::string text = ReadAll(path, expected);
  if (text.compare(0, 3, "\xEF\xBB\xBF") == 0)
    throw InputError(path + ": starts with a byte-order mark; save it as plain ASCII text of " +
                     expected);
  for (size_t i = 0; i < text.size(); ++i)
    if (IsForeign((unsigned char)text[i])) {
      char where[64];
      std::snprintf(where, sizeof where, "byte 0x%02x at offset %zu", (unsigned char)text[i], i);
      throw InputError(path + ": is not a plain text file (" + where + "); expected " + expected);
    }

  const bool commas = shape.commas_separate && text.find(',') != std::string::npos;
  std::istringstream lines(text);
  std::string line, data;
  unsigned line_no = 0, rows = 0, columns = 0, first_line = 0, blank_line = 0;
  while (std::getline(lines, line)) {
    ++line_no;
    if (Trimmed(line).empty()) {
      if (rows > 0 && blank_line == 0) blank_line = line_no;
      continue;
    }
    const std::string at = path + ": line " + std::to_string(line_no);
    if (blank_line != 0)
      throw InputError(path + ": line " + std::to_string(blank_line) +
                       " is blank between lines of numbers; expected " + expected +
                       " with no blank lines");
    const std::vector<std::string> tokens = Tokens(line, commas);
    for (const std::string& token : tokens) {
      if (token.empty()) throw InputError(at + " has an empty field; expected " + expected);
      if (!IsNumber(token))
        throw InputError(at + ": \"" + token.substr(0, 24) + (token.size() > 24 ? "..." : "") +
                         "\" is not a number; expected " + expected);
    }
    const unsigned n = unsigned(tokens.size());
    if (rows == 0) {
      if (n < shape.min_columns || n > shape.max_columns)
        throw InputError(at + " holds " + std::to_string(n) + " numbers; expected " + expected);
      columns = n;
      first_line = line_no;
    } else if (n != columns) {
      throw InputError(at + " holds " + std::to_string(n) + " numbers where line " +
                       std::to_string(first_line) + " holds " + std::to_string(columns) +
                       "; expected " + expected);
    }
    ++rows;
    data += Trimmed(line) + '\n';
  }
  if (rows == 0) throw InputError(path + ": is empty; expected " + expected);

  // Only the checked lines reach the library, with the separator named.
  arma::mat numbers;
  std::istringstream checked(data);
  if (!numbers.load(checked, commas ? arma::csv_ascii : arma::raw_ascii) ||
      numbers.n_rows != rows || numbers.n_cols != columns)
    throw InputError(path + ": could not be read as " + expected);
  return numbers;
}

}  // namespace tepora
