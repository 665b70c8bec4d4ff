#pragma once
// The formula layer may use the decoders below it.
#include "xls/decode/Upward.h"
