#pragma once
// The English catalogue, the one language the program registers.

void FillEnglishStrings();
// Registers English ("English", primary language 9, the ANSI character set).
void RegisterEnglishLocale();
