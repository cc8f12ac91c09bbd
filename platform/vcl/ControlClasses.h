#pragma once
// Registers the framework's control classes (standard, extra, button and range
// controls) with their published properties, so that window definitions can
// make them by class name.
void RegisterControlClasses();
