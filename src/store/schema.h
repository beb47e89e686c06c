#pragma once

#include <QString>

namespace tess {

// The statements that make an empty paper bank (tables, indexes, markers).
QString paperBankSchema();

// The version (user_version) of the schema this program makes and keeps.
constexpr int kPaperBankVersion = 2;

// The statements that add the orphan watch (its table, triggers and the
// index the question cursor's starting filter needs) where it is missing.
QString orphanWatchSchema();

// Makes a ready-made paper bank at path: the four tables and the account
// "Admin" with an empty password. Never replaces an existing file; throws
// EngineError when the file exists or cannot be written. Nothing is left
// behind on failure.
void createPaperBank(const QString& path);

} // namespace tess
