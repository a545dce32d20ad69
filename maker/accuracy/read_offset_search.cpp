#include "maker/accuracy/read_offset_search.h"
