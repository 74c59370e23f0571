#include "skin/core/sConst.h"

AnsiString CurrentSkinSection;
