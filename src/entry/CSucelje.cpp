#include "VelkorSlanjeEMaila26.h"
