#include "maker/accuracy/cue_sheet_writer.h"
