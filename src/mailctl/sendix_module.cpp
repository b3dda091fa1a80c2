// The entry points of the sendix component library.
#include "mailctl/sendix_ctrl.h"

ORVIX_COMPONENT_ENTRY_POINTS(orvix::sendix::sendix_module)
