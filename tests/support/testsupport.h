#pragma once
#include "foundation/foundation.h"
