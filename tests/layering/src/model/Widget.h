#pragma once
// The model does not depend on Qt.
#include <QString>
