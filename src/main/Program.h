// The whole program as one function: start-up of the modules, the command driver, and their
// finalisation. Returns the exit code: 0, or 1 when an error reached the driver.
#pragma once

int RunUserlens();
