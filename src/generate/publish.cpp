#include "generate/publish.h"

#include "generate/pagepaths.h"
#include "store/engineerror.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace tess {

void createPagePicturesFolder(const QString& folder) {
    if (!QFileInfo(folder).isDir())
        QDir().mkdir(folder);
}

int copyPictures(const QString& picturesFolder, const QString& folder) {
    const QDir source(picturesFolder);
    if (!source.exists())
        return 0;
    int copied = 0;
    // Regular files only: a link would put the file it points at (anywhere on
    // the disk) beside the page, and copying a FIFO would wait for good.
    const QFileInfoList files = source.entryInfoList(QDir::Files | QDir::Hidden | QDir::NoSymLinks);
    for (const QFileInfo& file : files) {
        const QString target = folder + QLatin1Char('/') + file.fileName();
        // QFile::copy never overwrites; asking first keeps an existing copy
        // even where the platform's copy would replace it.
        if (QFileInfo::exists(target))
            continue;
        if (QFile::copy(file.filePath(), target))
            ++copied;
    }
    return copied;
}

void runGeneration(const GenerationSteps& steps) {
    steps.clearMessages();
    steps.addMessage(QStringLiteral("试卷错误性检查..."));
    if (!steps.checkPaper()) {
        steps.showInformation(QStringLiteral("未通过试卷错误性检查,发现以下严重错误:\n\n") +
                              steps.messageText());
        return;
    }

    const QString outputPath = pageOutputPath(steps.paperOutputFile());
    steps.addMessage(QString());
    if (steps.mayReplace && !steps.mayReplace(outputPath)) {
        steps.addMessage(QStringLiteral("没有生成试卷, 文件 %1 保持原样.").arg(outputPath));
        return;
    }
    steps.addMessage(QStringLiteral("正在生成试卷..."));
    try {
        steps.writePage(outputPath);
        steps.addMessage(QStringLiteral("试卷成功生成到:") + outputPath + QLatin1Char('.'));
        if (steps.pageWritten) {
            try {
                steps.pageWritten(outputPath);
            } catch (const std::exception&) {
                steps.addMessage(QStringLiteral("警告: 试题库没能记下这个文件是哪份试卷生成的, "
                                                "以后用别的试卷生成到这里时不会先问: ") +
                                 currentErrorMessage());
            }
        }
    } catch (const std::exception&) {
        steps.addMessage(currentErrorMessage());
        // The writer has said that the path is a folder; a page pictures
        // folder beside it, or opening it, would only add to the mistake.
        if (QFileInfo(outputPath).isDir())
            return;
    }

    if (steps.fetchPictures) {
        try {
            for (const QString& line : steps.fetchPictures())
                steps.addMessage(QStringLiteral("警告: ") + line);
        } catch (const std::exception&) {
            steps.addMessage(QStringLiteral("警告: 没能从试题库取出这份试卷的图片: ") +
                             currentErrorMessage());
        }
    }
    const QString folder = pagePicturesFolderPath(outputPath);
    createPagePicturesFolder(folder);
    copyPictures(steps.picturesFolder, folder);
    if (steps.opener)
        steps.opener->open(outputPath);
}

} // namespace tess
