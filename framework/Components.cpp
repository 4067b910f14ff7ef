#include "framework/Components.h"
