#include "benchbank.h"
#include <QCoreApplication>
#include <QDir>
using namespace bench;
int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QString folder = QStringLiteral("/tmp/tessaloom-bench");
    QDir().mkpath(folder);
    ensureBank(folder + QStringLiteral("/small.mdb"), kSmall, QStringLiteral("small"), false);
    ensureBank(folder + QStringLiteral("/district.mdb"), kDistrict, QStringLiteral("district"), false);
    return 0;
}
