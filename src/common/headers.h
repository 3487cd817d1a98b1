// Shared includes of every Tepora source: the matrix library, streams and the
// C and C++ standard headers the model and the optimiser use.
#pragma once

#include "common/matrix.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/errors.h"
#include "common/settings_file.h"
#include "common/whole_file.h"
