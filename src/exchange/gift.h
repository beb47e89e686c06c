#pragma once

#include "exchange/exchangemodel.h"

#include <QByteArray>
#include <QString>

namespace tess::exchange {

// The papers in a GIFT file. Each "$CATEGORY: a/b/c" that has questions gives a
// paper named "c" in category "b"; questions before any category go into a
// paper named after the file. True/false, single-choice and multiple-choice
// questions are taken with mark 1; every other kind is named in `skipped`.
// Throws ExchangeError, and returns nothing, when any part of the file cannot
// be read.
Imported readGift(const QByteArray& bytes, const QString& fileName);

} // namespace tess::exchange
