// The column headers of the localized exports: Outlook and Google in German, French and Spanish
// name their columns in the user's language ("Vorname", "Téléphone (bureau)", "Calle del
// trabajo"). Keys are headers as CsvColumns compares them: lower-case letters and digits only,
// without accents, "ß" as "ss".
#pragma once

#include "data/exchange/CsvColumns.h"

#include <QString>

#include <span>

namespace larkspan::csv {

struct KnownColumn
{
    const char *key;
    Role role;
    Field field;
    unsigned phoneKinds;
};

std::span<const KnownColumn> localizedColumns();

// "Straße privat", "Ville (bureau)", "Otra calle 2": an address column of a localized export,
// its group ("home", "work", "other") and its part.
bool localizedAddressColumn(const QString &key, QString *group, Part *part);

} // namespace larkspan::csv
