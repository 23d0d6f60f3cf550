#include "job/PrintFileInfo.h"
