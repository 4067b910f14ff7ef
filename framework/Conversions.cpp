#include "framework/Conversions.h"
