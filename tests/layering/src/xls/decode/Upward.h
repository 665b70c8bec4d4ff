#pragma once
// A decoder that reaches up into the formula layer: the check refuses it.
#include "xls/formula/Formula.h"
