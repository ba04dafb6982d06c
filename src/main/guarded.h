#pragma once
// The window's handlers run inside the views' guard (chart/guarded.h) too.

#include "chart/guarded.h"
#include "main/message_box.h"
