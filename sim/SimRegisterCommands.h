// The register's commands for its settings, goods and journal, added to the
// simulator's command table next to the identity.
#pragma once
#include "sim/SimCommands.h"

void AddSimRegisterCommands(TSimCommands& commands);
