#include "wendrake/wendrake.h"
