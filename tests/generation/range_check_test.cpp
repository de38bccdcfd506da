#include "fakes.h"
