#include "settings/programinfo.h"

#include "tessversion.h"

#include <cstdio>
#include <cstring>

namespace tess {

QString programVersion() {
    return QStringLiteral(TESS_VERSION);
}

std::optional<int> answerHelpOrVersion(int argc, char** argv, const char* name, const char* usage) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0) {
            std::fputs(usage, stdout);
            std::fputs(kHelpAndVersionUsage, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("%s (Tessaloom) %s\n", name, TESS_VERSION);
            return 0;
        }
    }
    return std::nullopt;
}

} // namespace tess
