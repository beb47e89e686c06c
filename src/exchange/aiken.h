#pragma once

#include "exchange/exchangemodel.h"

#include <QByteArray>
#include <QString>

namespace tess::exchange {

// The single-choice questions of an Aiken file, in one paper named after the
// file, each with mark 1. Throws ExchangeError, and returns nothing, when any
// question cannot be read.
Imported readAiken(const QByteArray& bytes, const QString& fileName);

} // namespace tess::exchange
