// The matrix library and the names of it that the model and the optimiser
// use unqualified: vectors, matrices and cubes of doubles, their index type
// and the file formats of the saved fields.
#pragma once

#include <armadillo>

namespace tepora {

using arma::arma_ascii;
using arma::auto_detect;
using arma::cube;
using arma::datum;
using arma::field;
using arma::file_type;
using arma::mat;
using arma::raw_ascii;
using arma::rowvec;
using arma::span;
using arma::uvec;
using arma::uword;
using arma::vec;
namespace fill = arma::fill;

}  // namespace tepora
