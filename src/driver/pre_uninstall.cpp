// The pre-uninstall command. Not yet built: no command is run.
#include "driver/launch.h"

void RunPreUninstallCommand() {}
