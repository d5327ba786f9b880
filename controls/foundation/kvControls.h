// kvControls: the library's base control and the services its controls share.
#ifndef KV_CONTROLS_H
#define KV_CONTROLS_H

#include "kvControlServices.h"

#endif
