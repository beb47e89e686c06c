#pragma once

#include <QString>
#include <optional>

namespace tess {

class Connection;

// The bank remembers which paper last published to which file, so that a page
// already handed to students is not replaced by another paper's without a
// question. A bank opened only for reading is never written here.

// The name under which a page is remembered: its absolute path, cleaned, with
// links resolved where the file exists.
QString publishedPageKey(const QString& outputPath);

// The paper that last published to a page, as the bank remembers it.
struct PagePublisher {
    std::optional<int> papId; // none once that paper has been deleted
    QString name;             // its name now; a deleted one's as it was then
};

// None when the bank remembers nothing of that file (or cannot: a bank that
// could not be upgraded). Engine errors are thrown.
std::optional<PagePublisher> lastPublisher(const Connection& connection, const QString& outputPath);

// What to ask before the paper papId, listed as name, publishes to outputPath,
// or an empty text when there is nothing to ask: there is no file, the bank
// remembers nothing of it, or this paper wrote it last.
QString overwriteQuestion(const Connection& connection, const QString& outputPath, int papId,
                          const QString& name);

// Remembers that the paper has just written its page to outputPath. Throws
// EngineError, also when the bank has no place for it (not upgraded).
void rememberPublisher(const Connection& connection, const QString& outputPath, int papId,
                       const QString& name);

} // namespace tess
