#include "instructions/InstructionsException.h"

InstructionsException::~InstructionsException() {}
