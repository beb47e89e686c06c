#pragma once

#include <QString>

namespace tess {

// The statements that make an empty paper bank (tables, indexes, markers).
QString paperBankSchema();

// The version (user_version) of the schema this program makes and keeps.
constexpr int kPaperBankVersion = 4;

// What the second version of the schema adds to the first (the orphan watch,
// indexes), and what the third adds (the texts for the search), as
// statements that add only what is missing.
QString schemaAdditions();
QString textSchemaAdditions();
// What the fourth adds: each paper's page style and options.
QString styleSchemaAdditions();

// The version (tess_schema) of the server schema this program makes and keeps.
constexpr int kServerBankVersion = 5;

// What the later server schemas add to version 2 (the pictures, the texts
// for the search, the page styles), as statements that add only what is missing.
QString serverSchemaAdditions();

// The statements that make an empty paper bank in a server's database.
QString serverPaperBankSchema();

// Makes a ready-made paper bank at path: the four tables and the account
// "Admin" with an empty password. Never replaces an existing file; throws
// EngineError when the file exists or cannot be written. Nothing is left
// behind on failure. A server URI gets the bank in its database, which must
// hold no tables yet.
void createPaperBank(const QString& pathOrUri);

} // namespace tess
