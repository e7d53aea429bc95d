#include "RecordingFeedback.h"
