// One reader of other question tools' files, given whatever bytes the fuzzer
// makes: it must give papers or refuse with an ExchangeError.
#include "exchange/aiken.h"
#include "exchange/gift.h"
#include "exchange/moodlexml.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

using namespace tess::exchange;

namespace {

// Pictures a Moodle XML file brings are written here, and taken away after
// each input so that the folder stays small.
const QString& picturesFolder() {
    static QTemporaryDir dir;
    static const QString folder = dir.filePath(QStringLiteral("images"));
    return folder;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    try {
#if defined(TESS_FUZZ_READER_moodlexml)
        readMoodleXml(bytes, picturesFolder());
        QDir(picturesFolder()).removeRecursively();
#elif defined(TESS_FUZZ_READER_gift)
        readGift(bytes, QStringLiteral("fuzz.gift"));
#elif defined(TESS_FUZZ_READER_aiken)
        readAiken(bytes, QStringLiteral("fuzz.txt"));
#else
#error "which reader?"
#endif
    } catch (const ExchangeError& e) {
        // A refusal must say where and what, like every other.
        if (!e.message().startsWith(QStringLiteral("第 ")) &&
            !e.message().startsWith(QStringLiteral("文件")))
            __builtin_trap();
    }
    return 0;
}
