// Shared includes of every Tepora source: the matrix library, streams and the
// C and C++ standard headers the model and the optimiser use.
#pragma once

#include <armadillo>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "errors.h"
#include "settings_file.h"
#include "whole_file.h"

using namespace arma;
