#include "maker/accuracy/rip_log.h"
