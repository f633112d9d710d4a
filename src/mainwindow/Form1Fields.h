// The layout of the main window's edit fields: a table that Form1.cpp alone reads.
#pragma once

#include "mainwindow/Form1.h"

#include <array>

namespace larkspan {

// The edit fields, in the order of their row positions (name, then sub-items 1 to 14), with
// their handlers, labels and places in the frame (twips).
struct EditFieldLayout
{
    Field field;
    void (Form1::*lostFocus)();
    const char *name;
    int left, top, width, height;
    int typingLimit; // 0: none
    const char *label;
    const char *labelCaption;
    int labelLeft, labelTop, labelWidth, labelHeight;
};

inline constexpr std::array<EditFieldLayout, 15> kEditFields = {{
    {Name, &Form1::lblName_LostFocus, "lblName", 1320, 360, 6240, 345, 0, "Label9", "Name:", 240, 420, 540,
     225},
    {Phone, &Form1::lblPhNo_LostFocus, "lblPhNo", 1320, 1800, 2445, 345, 0, "Label3", "Phone:", 240, 1860,
     585, 225},
    {Address, &Form1::lblAddress_LostFocus, "lblAddress", 1320, 840, 6240, 345, 0, "Label2", "Address:", 240,
     900, 765, 225},
    {State, &Form1::lblState_LostFocus, "lblState", 1320, 1320, 630, 345, 3, "Label15", "State:", 240, 1380,
     495, 225},
    {PostCode, &Form1::lblPostCode_LostFocus, "lblPostCode", 3020, 1320, 1005, 345, 4, "Label16",
     "Zip Code:", 2160, 1380, 855, 255},
    {Country, &Form1::lblCountry_LostFocus, "lblCountry", 5100, 1320, 2460, 345, 0, "Label17",
     "Country:", 4320, 1380, 855, 255},
    {Phone2, &Form1::lblPhNo2_LostFocus, "lblPhNo2", 4755, 1800, 2805, 345, 0, "Label10", "Phone 2:", 3960,
     1860, 735, 225},
    {Fax, &Form1::lblFax_LostFocus, "lblFax", 1320, 2280, 2445, 345, 0, "Label11", "Fax:", 240, 2340, 345,
     225},
    {Mobile, &Form1::lblMobile_LostFocus, "lblMobile", 4755, 2280, 2805, 345, 0, "Label6", "Cell:", 3960,
     2340, 360, 225},
    {Work, &Form1::lblWork_LostFocus, "lblWork", 1320, 2760, 6240, 345, 0, "Label5", "Company:", 240, 2820,
     840, 225},
    {WorkNumber, &Form1::lblWorkNo_LostFocus, "lblWorkNo", 1320, 3240, 2445, 345, 0, "Label4",
     "Co. Phone:", 240, 3300, 900, 225},
    {WorkFax, &Form1::lblCoFax_LostFocus, "lblCoFax", 4755, 3240, 2805, 345, 0, "Label12", "Co. Fax:", 3930,
     3300, 660, 225},
    {Email, &Form1::lblEmail_LostFocus, "lblEmail", 1320, 3720, 2445, 345, 0, "Label7", "Email:", 240, 3780,
     510, 225},
    {WebSite, &Form1::lblWebSite_LostFocus, "lblWebSite", 4755, 3720, 2805, 345, 0, "Label13", "Site:", 4200,
     3780, 375, 225},
    {Comments, &Form1::lblComments_LostFocus, "lblComments", 1320, 4200, 6240, 870, 0, "Label8",
     "Additional:", 240, 4260, 885, 225},
}};

} // namespace larkspan
