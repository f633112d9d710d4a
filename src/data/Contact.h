// The contact record: sixteen text fields in the fixed order of the data file.
#pragma once

#include <QString>

#include <array>

namespace larkspan {

// Record order: a record in "Numbers.dat" is sixteen lines in exactly this order.
enum Field : int {
    Name,
    Address,
    Suburb,
    State,
    PostCode,
    Country,
    Phone,
    Phone2,
    Fax,
    Mobile,
    Work,
    WorkNumber,
    WorkFax,
    Email,
    WebSite,
    Comments,
};
inline constexpr int kFieldCount = 16;

// The Entry list shows the fields in another order: column 0 is the name (the row text),
// column k is sub-item k.
inline constexpr std::array<Field, kFieldCount> kColumnFields = {
    Name,   Phone, Address,    State,   PostCode, Country, Phone2,   Fax,
    Mobile, Work,  WorkNumber, WorkFax, Email,    WebSite, Comments, Suburb};

inline Field fieldOfColumn(int column)
{
    return kColumnFields[static_cast<size_t>(column)];
}

// The list column that shows a field: the one way from a field to its place in the list.
constexpr int columnOfField(Field field)
{
    for (int column = 0; column < kFieldCount; ++column)
        if (kColumnFields[static_cast<size_t>(column)] == field)
            return column;
    return -1;
}

// The column header of each field, in record order.
inline QString fieldHeader(Field field)
{
    static const std::array<const char *, kFieldCount> headers = {
        "Name", "Address", "Suburb", "State",       "PostCode", "Country", "Phone",   "Phone 2",
        "Fax",  "Mobile",  "Work",   "Work Number", "Work Fax", "Email",   "WebSite", "Comments"};
    return QString::fromLatin1(headers[static_cast<size_t>(field)]);
}

// A whole contact as plain strings, in record order.
using Contact = std::array<QString, kFieldCount>;

} // namespace larkspan
