#include "framework/Sync.h"
