#include "presets/preset_file_record.h"
