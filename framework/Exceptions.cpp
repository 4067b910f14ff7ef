#include "framework/Exceptions.h"
