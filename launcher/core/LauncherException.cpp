#include "core/LauncherException.h"

LauncherException::~LauncherException() {}
