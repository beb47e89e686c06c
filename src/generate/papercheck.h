#pragma once

#include <QString>
#include <functional>

namespace tess {

class Query;

// The consistency check run before a paper is published. It sends its fixed
// statements through the given query (closed, cleared and reopened for each),
// then looks at the name, texts and flags that the page would carry as they
// stand (another program may have written anything into them), writes every
// finding as one line through addMessage ("错误: " or "警告: ") and answers
// whether generation may go on. Engine errors are thrown.
bool checkPaper(Query& query, int papId, const std::function<void(const QString&)>& addMessage);

} // namespace tess
