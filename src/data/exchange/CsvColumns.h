// What the header row of a CSV file says each column holds: one of our sixteen fields, a part
// of a name or an address, a number of some kind, or something with no field of its own.
//
// Headers are compared by their letters and digits only, ignoring case and accents. Besides our
// own column headers, those of the common address-book exports are known: Outlook's "Home Street 2"
// and "Business Fax" (and their German, French and Spanish names, CsvHeaderNames.h), Thunderbird's
// "Primary Email", "Email Home" and "Phone Work" as some programs write them, and Google's numbered
// groups ("Phone 1 - Type", "Phone 1 - Value"), whose "Type" column says in each row what the
// values are.
#pragma once

#include "data/Contact.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace larkspan::csv {

enum class Role {
    Extra,  // no field of its own: Comments, under its header
    Ignore, // bookkeeping of the exporting program
    Field,  // one of our sixteen fields, by our own column header
    Name,
    Prefix,
    Given,
    Middle,
    Family,
    Suffix,
    Phone,
    Email,
    WebSite,
    Organization,
    Note,
    AddressPart,
    Typed,     // "Phone 1 - Value" and the like: the row's "Type" column says what it is
    TypeLabel, // "Phone 1 - Type"
};

// Formatted: the whole address in one text, as Google's "Address 1 - Formatted" has it.
enum class Part { Street, Street2, Extended, PoBox, City, Region, PostCode, Country, Formatted, Type, Other };

struct Column
{
    Role role = Role::Extra;
    Field field = Name;
    unsigned phoneKinds = 0;
    Part part = Part::Other;
    int group = -1; // address or typed group
    QString header;
};

// A group of columns that belong together: one address, or one numbered "Phone 1 - ..." set.
struct Group
{
    QString kind;        // "home", "work", "other", "" for addresses; "phone", "email", ... for typed
    int typeColumn = -1; // the column that names the kind of the values, if any
    int serviceColumn = -1;
    QString base; // "Relation", "Event": the label when there is no type
};

struct Plan
{
    std::vector<Column> columns;
    std::vector<Group> groups;
    bool known = false; // at least one column we know
};

// The role of every column of a header row, in column order.
Plan planColumns(const QStringList &headers);

} // namespace larkspan::csv
