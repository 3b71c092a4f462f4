#pragma once

// The vendor's web page: a reserved example address, not a real site.
inline constexpr const char* kVendorAddress = "https://veltrona.example/";

// Opens the help page (help.htm of the working directory) or the vendor web
// page in the desktop's browser. A browser that does not start is ignored.
void openHelpPage();
void openVendorPage();
