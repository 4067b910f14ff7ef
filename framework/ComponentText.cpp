#include "framework/ComponentText.h"
