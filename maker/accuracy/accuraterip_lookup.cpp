#include "maker/accuracy/accuraterip_lookup.h"
