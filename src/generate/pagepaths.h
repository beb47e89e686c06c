#pragma once

#include <QString>

namespace tess {

// Section numerals of the generated page: "零" to "十" for 0 to 10, empty otherwise.
QString NumToChinese(int value);

// Output path of a page: the paper's PapSav with ".html" appended when its file
// name has no extension (no "." after the last "/", "\" or ":").
QString pageOutputPath(const QString& papSav);

// Name of the page pictures folder: the page's file name with its extension
// replaced by ".files" (appended when the name has no ".").
QString pagePicturesFolderName(const QString& outputPath);

// The page pictures folder beside the page: the page's own folder followed by
// pagePicturesFolderName(). Relative when the output path is.
QString pagePicturesFolderPath(const QString& outputPath);

// Points the picture tags of a page text at the page pictures folder: every
// `<IMG SRC="images` (exact, letter case included) becomes `<IMG SRC="` and the
// folder name, left to right without overlap.
QString ReplaceImagePath(const QString& text, const QString& outputPath);

// The same in place, for the part of text from `from` on; replacement is
// imageTagReplacement(outputPath). A page written line by line is rewritten
// line by line: no tag holds a line end, so no tag spans two lines.
QString imageTagReplacement(const QString& outputPath);
void replaceImageTags(QString& text, qsizetype from, const QString& replacement);

} // namespace tess
