// The upload's addresses moved to records/ (the game posts its ranked
// replays by the same query); kept here for the callers that name this path.
#pragma once

#include "records/upload_address.h"
