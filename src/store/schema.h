#pragma once

#include <QString>

namespace tess {

// The statements that make an empty paper bank (tables, indexes, markers).
QString paperBankSchema();

// Makes a ready-made paper bank at path: the four tables and the account
// "Admin" with an empty password. Never replaces an existing file; throws
// EngineError when the file exists or cannot be written. Nothing is left
// behind on failure.
void createPaperBank(const QString& path);

} // namespace tess
