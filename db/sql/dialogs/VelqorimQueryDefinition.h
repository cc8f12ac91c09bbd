#pragma once
// The query component in window definitions: its database, session, SQL lines
// and flags as published properties, and the two properties it streams itself,
// "Data" (the statement's stored binary form) and "ParamData" (its parameters,
// stored when there is at least one).

#include "db/sql/VelqorimQuery.h"

// Registers TVelqorimQuery with the framework's class registry (once).
void RegisterVelqorimQueryClass();
