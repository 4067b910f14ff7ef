#include "framework/Properties.h"
