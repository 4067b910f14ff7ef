#include "framework/Lists.h"
