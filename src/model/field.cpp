// Reading a field saved by the solvers.
#include "model/field.h"

#include <cstdlib>

namespace tepora {

bool ParseSavedField(std::istream& in, uword rows, uword cols, uword slices, cube& field,
                     std::string& why) {
  std::string header;
  uword r = 0, c = 0, s = 0;
  // The header is read as a word, so a line that ends in CR LF or carries
  // trailing blanks, as editors and other systems write it, still names a field.
  if (!(in >> header) || header != "ARMA_CUB_TXT_FN008" || !(in >> r >> c >> s)) {
    why = "is not a temperature field saved by the simulator (no ARMA_CUB_TXT_FN008 header)";
    return false;
  }
  if (r != rows || c != cols || s != slices) return true;
  field.set_size(r, c, s);
  std::string token;
  for (uword k = 0; k < s; ++k)
    for (uword i = 0; i < r; ++i)
      for (uword j = 0; j < c; ++j) {
        char* end = nullptr;
        if (!(in >> token) || (field(i, j, k) = std::strtod(token.c_str(), &end), *end != '\0')) {
          why = "holds " + std::string(in ? "\"" + token.substr(0, 24) + "\"" : "no value") +
                " for cell (" + std::to_string(i) + ", " + std::to_string(j) + ", " +
                std::to_string(k) + "), expected a temperature";
          return false;
        }
      }
  if (in >> token) {
    why = "holds more values than its " + std::to_string(r) + " x " + std::to_string(c) + " x " +
          std::to_string(s) + " cells";
    return false;
  }
  return true;
}

}  // namespace tepora
