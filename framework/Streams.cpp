#include "framework/Streams.h"
